#include "TSortHeader.h"

#include <QStyleOptionHeader>

namespace varnello {

TSortHeader::TSortHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

void TSortHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logicalIndex) const
{
    QHeaderView::initStyleOptionForIndex(option, logicalIndex);
    if (isSortIndicatorShown() && logicalIndex == sortIndicatorSection()) {
        option->sortIndicator = sortIndicatorOrder() == Qt::AscendingOrder
                                    ? QStyleOptionHeader::SortUp
                                    : QStyleOptionHeader::SortDown;
    }
}

} // namespace varnello
