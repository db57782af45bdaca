// The certificate of a verification run: an A4 PDF with real text, drawn
// only from the run's data, so drawing it again from the journal gives the
// same text.
#pragma once

#include "Run.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace verification {

// The English key's text in the language wanted (the tool's message lookup).
using Translator = std::function<QString(const QString &key)>;

// The PDF; sha256 is the SHA-256 of the run's data as journaled. Needs a
// QGuiApplication (fonts).
QByteArray certificatePdf(const Run &run, const QString &sha256, const Translator &tr, int *pages = nullptr);
// Into a file, whole or not at all; false with the reason.
bool writeCertificate(const Run &run, const QString &sha256, const Translator &tr, const QString &path,
                      QString &problem);

} // namespace verification
