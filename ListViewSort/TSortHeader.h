#pragma once
// The column header of TListViewSort. Its sort indicator points up for an
// ascending sort and down for a descending one, whatever the style's own
// convention for Qt's sort orders is.

#include <QHeaderView>

namespace varnello {

class TSortHeader : public QHeaderView
{
    Q_OBJECT

public:
    explicit TSortHeader(QWidget* parent = nullptr);

protected:
    void initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const override;
};

} // namespace varnello
