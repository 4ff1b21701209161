#pragma once
// What the main window's tests share: widgets found by their object names,
// folders of MP3 files built byte by byte, and a window opened on a folder.

#include "FolderReader.h"
#include "Mp3Builder.h"
#include "TFormMain.h"
#include "TListViewSort.h"

#include <QApplication>
#include <QDir>
#include <QTest>
#include <memory>
#include <string>

namespace varnello::testsupport {

template <typename T> T* Find(const QObject& window, const char* name)
{
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no child %s", name);
    }
    return child;
}

inline QString NativeFolder(const TempDir& dir)
{
    return QDir::toNativeSeparators(QString::fromStdString(dir.Path()));
}

inline void WriteTitled(const TempDir& dir, const std::string& name, const std::string& title)
{
    Mp3Builder()
        .Tag(Id3v2Builder().Version(3).TextFrame("TIT2", title).Build())
        .Audio(2)
        .WriteTo(dir.File(name));
}

// A file's row as a fresh reading of the disk gives it.
inline FileRow ReadBack(const TempDir& dir, const std::string& name)
{
    return FolderReader().ReadRow(dir.Path(), name, 0);
}

// Shown, active and listing `folder`, with the listing finished.
inline std::unique_ptr<TFormMain> OpenWindowOn(const QString& folder)
{
    auto window = std::make_unique<TFormMain>();
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) {
        qFatal("window not active");
    }
    window->ShowFolder(folder);
    return window;
}

inline TListViewSort& FileTableOf(const TFormMain& window)
{
    return *Find<TListViewSort>(window, "clsLVFile");
}

} // namespace varnello::testsupport
