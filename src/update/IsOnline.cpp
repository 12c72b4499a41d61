#include "IsOnline.h"

#include "Connectivity.h"
#include "MessageBoxService.h"
#include "PlatformServices.h"

bool IsOnline(const PlatformServices& platform)
{
    const ConnectedState answer = platform.connectivity.connectedState();
    if (answer.queryFailed) {
        platform.messages.showMessage(answer.error, "Wininet.dll", MessageIcon::Critical);
        return false;
    }
    return answer.state == 1;
}
