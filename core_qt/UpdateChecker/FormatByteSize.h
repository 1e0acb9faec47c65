#pragma once

#include <QString>
#include <QtGlobal>

// A short size text with its unit, as the system's file manager shows sizes.
QString formatByteSize(qint64 bytes);
