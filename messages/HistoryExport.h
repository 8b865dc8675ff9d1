#pragma once

#include "engine/HistoryStore.h"

#include <QString>

#include <functional>

class QTextDocument;

// A conversation of the history as one HTML file in UTF-8 that any browser opens: every message with its
// time, direction and names, its formatting and its pictures as data: URIs. Everything that came from the
// network is escaped, and only formatting the program itself writes reaches the file.
namespace HistoryExport {

// The body of a rich-text document as HTML paragraphs.
QString documentToHtml(const QTextDocument &document);

// Writes every message of the conversation, oldest first, to fileName; false, with the reason in *error,
// when the file could not be written. Nothing is left behind on failure. progress hears after each batch how
// many of how many messages are written, and stops the export by returning false.
bool write(HistoryStore &history, HistoryStore::Kinds kinds, const QByteArray &peer, const QString &title,
           const QString &fileName, QString *error = nullptr,
           const std::function<bool(qint64 done, qint64 total)> &progress = {});

} // namespace HistoryExport
