#pragma once

#include <QByteArray>
#include <QString>

// The sibling tools (transcoder, editor, suspender) talk to us in 8-bit text
// on their standard streams. A stray NUL byte must not cut a message short or
// end up inside a QString, so it is dropped; the rest is read as the locale's
// encoding (UTF-8 on the systems we run on), which keeps non-Latin file names
// in the transcoder's text readable.
QString decodeToolText(const QByteArray &bytes);
