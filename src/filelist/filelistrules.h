#pragma once

#include <Qt>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// The file list's small decisions, as plain functions of the list's texts and
// check marks. The main window's slots read the widgets, ask these, and write
// the answers back.
namespace FileListRules {

// File types the list never takes, whatever the transcoder would say of them
// (pictures, scripts, documents, archives, programs; "" is a name without an
// extension). Compared without regard to case.
bool isRejectedExtension(const QString &extension);

// The open dialog's file-type filter, one filter a line.
QString openDialogFilter();

// A combo text up to its first `stop` (the whole text when it has none):
// "128K" gives "128", "25fps" with 'f' gives "25".
QString textBefore(const QString &text, QChar stop);

// name with the decimal number in front of its last "." (appended when it has
// none): "clip.avi" and 3 give "clip3.avi". A name that would grow too long
// for the file system is shortened in front of the number.
QString withNumberBeforeDot(const QString &name, int number);

// The rule against repeating an output name: outputName, or outputName
// with number in front of its last "." when one of names is outputName. The
// open dialog counts the output names of the rows listed before it and takes
// their count as the number; a drop counts every row's, its own rows' too,
// and takes the row count.
QString outputNameAmong(const QString &outputName, const QSet<QString> &names, int number);

// One row as the checked-row queries see it.
struct CheckedRow {
    bool checked = false; // Qt::Checked; a partly checked row is not checked
    QString durationText; // the source duration column, "HH:MM:SS"
};

// Index of the last checked row; 0 when no row is checked.
int lastCheckedRow(const QVector<CheckedRow> &rows);
// Seconds of a duration text "H:M:S"; a text without two colons counts 0,
// and a part that is not a number counts 0.
int durationTextSeconds(const QString &text);
int totalCheckedDuration(const QVector<CheckedRow> &rows);

// The check-all box's look for n rows of which k are checked.
Qt::CheckState checkAllState(int rows, int checked);

// Which entries of the list's context menu can be used.
struct ListMenuState {
    bool addFiles = true;
    bool remove = false;
    bool clean = false;
    bool selectAll = false;
    bool fileInformation = false;
};
// rows: the list's row count; y: the request's height in the list's viewport;
// convertEnabled: whether the Convert button can be used (it cannot during a
// run, and then nothing but the file information is offered).
ListMenuState listMenuState(int rows, int y, bool convertEnabled);

// The ten values the editor tool is handed for a row, in command-line order:
// crop left, top, right, bottom; saturation, brightness, contrast in percent;
// trim start and end in seconds; and the fixed 20.
QStringList editorValues(const QStringList &arguments, const QStringList &effects);

} // namespace FileListRules
