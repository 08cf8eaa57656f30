#pragma once

#include <QList>
#include <QString>
#include <QUrl>

class QMimeData;

// The files a drop names. A dropped address reaches the tools only as the
// exact file it names on this machine: an address whose path cannot be told
// to the system byte for byte (a 0 byte, a "/" inside a name, bytes that are
// no text in the system's encoding) or that names another machine has no
// local path at all, so that no tool ever works on a file other than the one
// the list shows.
namespace DroppedUrls {

// The addresses of a drag's data, without the comment lines ("#...") that a
// uri-list may hold: Qt reads those as addresses too.
QList<QUrl> fromMimeData(const QMimeData &data);

// The local file an address names; empty when it names none exactly.
// "file://localhost/..." and the machine's own name are this machine.
QString localPath(const QUrl &url);

// How the add-result dialog names an address that was not added: the text of
// the address itself, never a decoded form that would hide a 0 byte.
QString shownName(const QUrl &url);

} // namespace DroppedUrls
