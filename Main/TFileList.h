#pragma once
// The hidden file list behind the directory list: the folder it last read and
// the MP3 names found there, in table order. Assigning a new listing reports
// a change, which rebuilds the file table.

#include <QWidget>
#include <string>
#include <vector>

namespace varnello {

class TFileList : public QWidget
{
    Q_OBJECT

public:
    explicit TFileList(QWidget* parent = nullptr);

    const std::string& Folder() const { return m_folder; }
    const std::vector<std::string>& Names() const { return m_names; }
    void Assign(std::string folder, std::vector<std::string> names);

signals:
    void Changed();

private:
    std::string m_folder;
    std::vector<std::string> m_names;
};

} // namespace varnello
