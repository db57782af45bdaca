// The window's side of the trend: what the trend window may ask of the main
// window, and the loading of the trend's library when the trend is first opened.
#pragma once

#include "TrendView.h"

#include <QString>

class TMainF;
class TOperatorTools;

class TTrendHost final : public TrendHost {
public:
    TTrendHost(TMainF &window, TOperatorTools &tools) : w(window), tools(tools) {}

    QString translate(const QString &key) const override;
    QString translateWithColon(const QString &key) const override;
    QString translateWithEllipsis(const QString &key) const override;
    QString pluralForm(const QString &translatedForms, int number) const override;
    QString languageShort() const override;
    TrendDisplay display() const override;
    QString shownNumber(float pascal) const override;
    float limitValue(int index) const override;
    const TrendHistory &history() const override;
    bool liveValueOn() const override;
    int64_t now() const override;
    TrendRecording recording() const override;
    bool startRecording(const QString &path) override;
    void stopRecording() override;
    QString chooseSaveFile(QWidget *parent, const QString &title, const QString &filter,
                           const QString &suffix) override;
    void showMessage(QWidget *parent, const QString &text, const QString &title) override;

private:
    TMainF &w;
    TOperatorTools &tools;
};

// The library's file name as the build makes it (libqz5801trend.so,
// qz5801trend.dll), looked up as it is: no guessing of the platform's prefix.
extern const char *const kTrendLibraryFile;

// A program that links the trend's library itself (the tests, the benchmarks)
// names its factory here, and no file is loaded.
void setLinkedTrendViewFactory(TrendViewFactory factory);

struct TrendLibrary {
    TrendViewFactory factory = nullptr;
    QString error; // why there is none
};
// The factory: the linked one, or the library's in folder (with the
// separator; the program's own folder when empty), loaded once and kept.
TrendLibrary loadTrendLibrary(const QString &folder = QString());
