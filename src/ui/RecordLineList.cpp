#include "ui/RecordLineList.h"

#include "common/TextCodec.h"

#include <QItemSelectionModel>
#include <limits>

QString RecordLines::line(qsizetype i) const { return TextCodec::decode(bytes(i)); }

bool RecordLines::append(const char *data, qsizetype length)
{
    // Offsets are 32 bits and a list counts its rows in int.
    if (qsizetype(text.size()) + length > qsizetype(std::numeric_limits<quint32>::max())
        || starts.size() >= std::numeric_limits<int>::max())
        return false;
    text.append(data, length);
    starts.append(quint32(text.size()));
    return true;
}

int RecordLineModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(lines_.size()); }

QVariant RecordLineModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= lines_.size()) return QVariant();
    if (role == Qt::DisplayRole) return lines_.line(index.row());
    return QVariant();
}

void RecordLineModel::setLines(RecordLines lines)
{
    beginResetModel();
    lines_ = std::move(lines);
    lines_.text.squeeze();
    lines_.starts.squeeze();
    endResetModel();
}

RecordLineList::RecordLineList(QWidget *parent) : QListView(parent), model_(new RecordLineModel(this))
{
    setModel(model_);
    // Every row has the height of one line of text: the view lays out millions of rows at once.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::MultiSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

int RecordLineList::count() const { return model_->rowCount(); }

QString RecordLineList::text(int row) const
{
    return row >= 0 && row < count() ? model_->lines().line(row) : QString();
}

bool RecordLineList::isSelected(int row) const { return selectionModel()->isSelected(model_->index(row)); }

void RecordLineList::setSelected(int row, bool selected)
{
    if (row < 0 || row >= count()) return;
    selectionModel()->select(model_->index(row),
                             selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

int RecordLineList::selectedCount() const
{
    int n = 0;
    for (const QItemSelectionRange &r : selectionModel()->selection()) n += r.height();
    return n;
}

void RecordLineList::setLines(RecordLines lines) { model_->setLines(std::move(lines)); }

void RecordLineList::addItem(const QString &line)
{
    RecordLines lines = model_->lines();
    const QByteArray bytes = TextCodec::encode(line);
    lines.append(bytes.constData(), bytes.size());
    const QItemSelection marked = selectionModel()->selection();
    setLines(std::move(lines));
    selectionModel()->select(marked, QItemSelectionModel::Select);
}
