#pragma once

#include <cstdint>

// What a window message says about the session: the system suspends, it
// resumes, or the user logs off.
enum class SystemEvent { None, Sleep, Wake, LogOff };

// Sorts a message by its number and parameters. Only a plain log-off query
// counts as a log-off; one with further bits (forced, or a restart by an
// installer) does not.
SystemEvent classifySystemMessage(unsigned message, std::uintptr_t wParam, std::uintptr_t lParam);
