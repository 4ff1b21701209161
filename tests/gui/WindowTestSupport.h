#pragma once
// What the main window's tests share: widgets found by their object names,
// folders of MP3 files built byte by byte, the one fake folder source
// (counted, slowed down, or serving folders from memory), and a window opened
// on a folder with its listing finished.

#include "FileTable.h"
#include "FolderReader.h"
#include "Mp3Builder.h"
#include "TFormMain.h"
#include "TListViewSort.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace varnello::testsupport {

template <typename T> T* Find(const QObject& window, const char* name)
{
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        qFatal("no child %s", name);
    }
    return child;
}

inline QAction& Action(const QObject& window, const char* name)
{
    return *Find<QAction>(window, name);
}

inline TListViewSort& FileTableOf(const TFormMain& window)
{
    return *Find<TListViewSort>(window, "clsLVFile");
}

inline TListViewSort& LogViewOf(const TFormMain& window)
{
    return *Find<TListViewSort>(window, "clsLVLogView");
}

inline QString StatusText(const TFormMain& window)
{
    return Find<QLabel>(window, "ClsStbStatusText")->text();
}

inline QString AddressText(const TFormMain& window)
{
    return Find<QComboBox>(window, "CbAddress")->currentText();
}

// A column's texts as the table shows them, in table order.
inline QStringList Column(const TListViewSort& table, int column)
{
    QStringList texts;
    for (int row = 0; row < table.Rows().RowCount(); ++row) {
        texts << table.Rows().Cell(row, column);
    }
    return texts;
}

// Replaces a field's text by typing, as the user does.
inline void TypeInto(QWidget* field, const QString& text)
{
    field->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(field)) {
        edit->selectAll();
    }
    QTest::keyClicks(field, text);
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

// Made before the windows of a test: from then on the windows' settings are
// kept in an empty folder of the test's own, so that the test starts from
// the defaults and the user's settings are neither read nor changed.
class TestSettings
{
public:
    TestSettings()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString(m_dir.Path()));
    }

private:
    TempDir m_dir;
};

// A file's row as a fresh reading of the disk gives it.
inline FileRow ReadBack(const TempDir& dir, const std::string& name)
{
    return FolderReader().ReadRow(dir.Path(), name, 0);
}

// The window's folder source in tests: the module's listing and reading,
// counted per folder, each row slowed down by RowDelay when set, and folders
// of Fake served from memory instead of the disk (without subfolders). Set it up before the
// window is made; it is read on the window's worker thread.
class TestFolders
{
public:
    std::map<std::string, std::vector<FileRow>> Fake;
    std::chrono::milliseconds RowDelay{0};

    FolderSource Source()
    {
        FolderSource source;
        source.ListNames = [this](const std::string& folder, bool subfolders,
                                  const std::stop_token& stop) {
            {
                const std::lock_guard lock(m_mutex);
                ++m_listings[folder];
            }
            const auto fake = Fake.find(folder);
            if (fake == Fake.end()) {
                return FolderSource::Module().ListNames(folder, subfolders, stop);
            }
            FolderSource::Listing listing;
            for (const FileRow& row : fake->second) {
                listing.Names.push_back(row.FileName);
            }
            return listing;
        };
        source.ReadRows = [this](const std::string& folder, const std::vector<std::string>& names,
                                 const FolderReader::RowSink& sink) {
            const auto fake = Fake.find(folder);
            for (std::size_t i = 0; i < names.size(); ++i) {
                FileRow row = fake != Fake.end() ? fake->second.at(i)
                                                 : FolderReader().ReadRow(folder, names[i], 0);
                row.No = static_cast<int>(i);
                std::this_thread::sleep_for(RowDelay);
                {
                    const std::lock_guard lock(m_mutex);
                    ++m_rowsRead;
                }
                std::vector<FileRow> batch;
                batch.push_back(std::move(row));
                if (!sink(std::move(batch))) {
                    return;
                }
            }
        };
        return source;
    }

    // Window hooks with this source and nothing else replaced.
    WindowHooks Hooks()
    {
        WindowHooks hooks;
        hooks.Folders = Source();
        return hooks;
    }

    int Listings(const QString& folder) const
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_listings.find(folder.toStdString());
        return found == m_listings.end() ? 0 : found->second;
    }
    std::size_t FoldersListed() const
    {
        const std::lock_guard lock(m_mutex);
        return m_listings.size();
    }
    int RowsRead() const
    {
        const std::lock_guard lock(m_mutex);
        return m_rowsRead;
    }

private:
    mutable std::mutex m_mutex;
    std::map<std::string, int> m_listings;
    int m_rowsRead = 0;
};

// Runs the event loop until the window has no folder left to read.
inline void WaitForListing(const TFormMain& window)
{
    if (!QTest::qWaitFor([&] { return !window.IsListing(); }, 10000)) {
        qFatal("the window's listing did not finish");
    }
}

// Moves the window to `folder` and waits until it is read.
inline void ShowFolderAndWait(TFormMain& window, const QString& folder)
{
    window.ShowFolder(folder);
    WaitForListing(window);
}

// Shown, active and listing `folder`, with the listing finished.
inline std::unique_ptr<TFormMain> OpenWindowOn(const QString& folder, WindowHooks hooks = {})
{
    auto window = std::make_unique<TFormMain>(std::move(hooks));
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) {
        qFatal("window not active");
    }
    ShowFolderAndWait(*window, folder);
    return window;
}

} // namespace varnello::testsupport
