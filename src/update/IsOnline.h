#pragma once

struct PlatformServices;

/// True only when the platform answers exactly 1 (connected). When the platform cannot be asked at all, the
/// reason is shown in a message box (critical icon, title "Wininet.dll") and the answer is false.
bool IsOnline(const PlatformServices& platform);
