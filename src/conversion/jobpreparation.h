#pragma once

#include <QString>
#include <QStringList>

// Turns a row's stored job into the argument list one launch of the
// transcoder gets. The stored list is never changed: every launch prepares a
// fresh copy, so converting a row again gives the same command line.
namespace JobPreparation {

struct LaunchPlan {
    QStringList arguments;    // for the transcoder, without the program name
    bool readsScript = false; // the input is the row's script, not the source
    QString problem;          // why the job cannot run as asked; empty when it can
};

// Whether the row's effects, logo or trim need its script as the input:
// saturation, brightness or contrast changed, a logo picture file that is not
// empty, or a trim start or length above 0. The logo file is looked at on disk.
bool needsScript(const QStringList &arguments, const QStringList &effects);

// arguments: the row's ArgumentList; effects: its EffectList; displayRatio:
// the source's display aspect ratio as the probe gave it ("1.778"), used for
// Xvid jobs that carry no aspect of their own.
LaunchPlan prepare(const QStringList &arguments, const QStringList &effects,
                   const QString &displayRatio);

// Seconds of the source duration text of the list ("HH:MM:SS"); -1 when the
// text is not a duration.
qint64 durationTextSeconds(const QString &durationText);

// Seconds of output a job makes, which is what its progress is measured
// against: the trim length of a trimmed row, otherwise the source duration
// (less a trim start). 0 or less: unknown.
qint64 outputSeconds(const QStringList &arguments, const QString &durationText);

} // namespace JobPreparation
