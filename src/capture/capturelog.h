#pragma once

// Diagnostics of the key and coordinate capture.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCapture)
