#pragma once

#include <QtGlobal>

#include <spdlog/spdlog.h>

// A log record with the source location and the given function name; without
// a logger the call site says so through qWarning.
#define UPDATE_LOG(logger, level, function, ...)                                                 \
    do {                                                                                         \
        if (logger)                                                                              \
            (logger)->log(spdlog::source_loc{__FILE__, __LINE__, function}, level, __VA_ARGS__); \
        else                                                                                     \
            qWarning("WARN: %s:%d - spdlog not set yet", __FILE__, __LINE__);                    \
    } while (0)

// Refuses a null logger for a setter, naming the setter's source line.
#define UPDATE_WARN_NULL_LOGGER() qWarning("WARN: %s:%d spdlog is NULL", __FILE__, __LINE__)
