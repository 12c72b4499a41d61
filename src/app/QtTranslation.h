#pragma once

class QCoreApplication;

/// Qt's own texts (the Yes and No of the message boxes, the folder dialog) in Croatian, the language nearest
/// to the window's that Qt has: qtbase_hr.qm from the folder "translations" beside the program (where the
/// Windows setup puts it), else from Qt's translations folder (Debian's qt6-translations-l10n). The translator
/// belongs to `application`. False when no translation was found: Qt then speaks English.
bool loadQtTranslation(QCoreApplication& application);
