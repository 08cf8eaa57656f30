#pragma once

#include <QString>

// What the option boxes and the jobs built from them go by besides the boxes
// themselves: the current profile, the codec entries whose lists the boxes
// show, and the file on its way into the list with where its output goes.
// The window keeps one; a row's job is built from it and the boxes.
struct OptionState
{
    // The current profile; the label's lower-case form is the extension of
    // every output path made from now on.
    QString profileFile;
    QString currentProfileFile;
    QString formatLabel;
    // The codec entries whose lists the option boxes show (-1: none yet).
    int shownVideoCodec = -1;
    int shownAudioCodec = -1;

    // The file being added (outputFolder ends with "/"). Name and extension
    // are empty outside an add operation: a row built then is rebuilt from
    // its own list.
    QString inputFolder;
    QString inputName;
    QString inputExtension;
    QString outputFolder;
    QString outputName;
    QString outputAudioBitrate;

    // The output-folder field's text as the program last set it, for taking
    // back a typed folder that cannot be used.
    QString outputFolderInUse;

    void takeProfile(const QString &fileName, const QString &label);
    // The end of an add operation.
    void finishAdd();
};
