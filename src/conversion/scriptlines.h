#pragma once

#include <QChar>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

// The lines of a row's AviSynth wrapper script, in the order a script holds
// them. The program writes them and the transcoder reads them back without
// running AviSynth, so both take every line's shape from here: a line the
// writer changes is a line the reader still knows.
namespace ScriptLines {

enum class Line {
    Plugin,
    Import,
    Header,
    Width,
    Height,
    FrameRate,
    Channels,
    SampleRate,
    BitsPerSample,
    Source,
    ConvertFps,
    ClipDelay,
    DisplayRatio,
    Crop,
    Tweak,
    AudioSource,
    AudioDelay,
    AudioDub,
    Letterbox,
    FirstTrim,
    Logo,
    LastTrim,
    Return
};

// What the reader takes in place of a value the writer puts in.
enum class Value {
    Text,           // a quoted path (the writer gets it quoted already)
    Number,         // a plain decimal
    OptionalNumber, // a number, or nothing where a file has no picture
    SampleRate,     // a whole number, or nothing
    Ratio,          // a number, "inf", "nan" or nothing
    FourNumbers     // "a,b,c,d": the Tweak arguments
};

// A line's text with %1, %2 ... where its values go, in the order of values.
struct Form {
    QString text;
    QVector<Value> values;
};

struct Shape {
    Line line;
    bool optional;       // a script may leave the line out
    QVector<Form> forms; // the writer picks one; the reader takes any
};

// The comments and the first line of the block that the per-file settings
// patch by position.
inline const QString kUserParameters = QStringLiteral("#User parameters");
inline const QString kSourceComment = QStringLiteral("# Parse the media source");

// The source forms: FFmpegSource2, and DirectShowSource for video CD files.
constexpr int kFfmpegSource = 0;
constexpr int kDirectShowSource = 1;

const QVector<Shape> &shapes();

// The line in the given form with values in place of %1, %2 ... in one pass:
// a value's own "%2" is kept as it is.
QString write(Line line, const QStringList &values = {}, int form = kFfmpegSource);

// A line as the reader compares it: its string literals taken out (each
// replaced by kStringMark and kept in strings), the comment cut off and the
// blanks dropped except one between two words.
struct CompactLine {
    QString text;
    QStringList strings;
};
inline constexpr QChar kStringMark(0x01);
bool compact(const QString &line, CompactLine *out, QString *error);

// The anchored, case-insensitive expression a compact line of this form
// matches; each value is one capture, in order (FourNumbers takes four).
QRegularExpression pattern(const Form &form);

} // namespace ScriptLines
