#pragma once

#include <QString>

// Seconds as "HH:MM:SS": hours take at least two digits and have no upper
// bound; a negative count reads "00:00:00".
QString formatDuration(qint64 seconds);
