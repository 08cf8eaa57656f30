#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include "filelist/filerow.h"
#include "profiles/profileloader.h"

class QTreeWidgetItem;

// One option combo box as the job builder sees it: its items and current
// index, the same record the profile loader fills a box from.
using ComboState = ComboFill;

// Everything a row's job is built from, read at the moment of the call.
struct RowJobInput {
    int deviceIndex = -1;  // ProfileDevice's current index
    int profileIndex = -1; // ProfileDetails' current index
    ComboState profileDetails;
    ComboState vcodec;
    ComboState vsize;
    ComboState vbitrate;
    ComboState vframeRate;
    ComboState vaspect;
    ComboState acodec;
    ComboState asamplerate;
    ComboState abitrate;
    ComboState achannels;

    QString newInputPath;           // the file being added; empty when the row is rebuilt
    ArgumentList previousArguments; // the row's list before this build (empty for a new row)
    EffectList previousEffects;     // the row's effect list (empty for a new row)
    MediaInfo mediaInfo;            // source size, display ratio and exact duration
    QString outputPath;             // absolute: the output folder and the output name

    QString scriptFolder; // where the row's wrapper script goes (the per-user "tmp")
    // The number the row's script takes, counted by the caller from one row
    // to the next (ScriptWriter::nextNumber()): a row keeps its number
    // whether or not its script could be written.
    int scriptNumber = 0;
    QString avsPluginPath;
    QString avsImportPath;
    QString avsHeaderPath;
};

// A row's job. A window stores it with store(), and hands the script to its
// ScriptWriter (or writes it with writeScript()); the next row's number is
// the caller's count (RowJobInput::scriptNumber).
struct RowJob {
    bool valid = false; // false: no input could be found, nothing to store
    ArgumentList arguments;
    SettingsIndexList settingsIndexes;
    QVector<QStringList> optionItems; // FileRow::OptionItemsCount lists
    bool seedsEffects = false;        // true on a row's first build
    EffectList effects;
    QString scriptPath;
    QString scriptText; // empty when the script cannot be written
    QString error;      // a message for the user: the script could not be made
};

// Builds a row's whole conversion job from the option combo boxes: its
// argument list (carrying over the previous list's trim and crop pairs), its
// settings indexes, the copies of the combo boxes' items and, the first time
// only, its effect list and AviSynth wrapper script.
class RowJobBuilder {
public:
    static RowJob build(const RowJobInput &input);

    // Writes the script of a job that seeds its effects; true when there is
    // nothing to write. error gets the reason on failure.
    static bool writeScript(const RowJob &job, QString *error = nullptr);

    // build() and writeScript() together; job.error carries any failure.
    static RowJob buildAndWrite(const RowJobInput &input);

    // Stores the job in the row's item data (the effect list only when the
    // job seeds it).
    static void store(QTreeWidgetItem *item, const RowJob &job);
};
