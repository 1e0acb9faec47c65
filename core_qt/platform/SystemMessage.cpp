#include "SystemMessage.h"

namespace {
constexpr unsigned queryEndSession = 0x0011;
constexpr unsigned powerBroadcast = 0x0218;
constexpr std::uintptr_t suspend = 0x0004;
constexpr std::uintptr_t resumeAutomatic = 0x0012;
constexpr std::uintptr_t endSessionLogOff = 0x80000000u;
} // namespace

SystemEvent classifySystemMessage(unsigned message, std::uintptr_t wParam, std::uintptr_t lParam)
{
    if (message == powerBroadcast) {
        if (wParam == suspend)
            return SystemEvent::Sleep;
        if (wParam == resumeAutomatic)
            return SystemEvent::Wake;
    } else if (message == queryEndSession) {
        if (lParam == endSessionLogOff)
            return SystemEvent::LogOff;
    }
    return SystemEvent::None;
}
