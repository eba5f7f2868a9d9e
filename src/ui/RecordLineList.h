#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>
#include <QListView>

// Lines of text as the file holds them (GB18030 bytes, without line ends), kept in one block with the
// offset of each line: a few bytes per line beyond the text itself, so that millions of lines fit.
struct RecordLines {
    QByteArray text;
    QList<quint32> starts{0};  // line i is text[starts[i], starts[i + 1])

    qsizetype size() const { return starts.size() - 1; }
    QByteArray bytes(qsizetype i) const { return text.mid(starts[i], starts[i + 1] - starts[i]); }
    QString line(qsizetype i) const;
    // false when the block would grow past what the offsets can address.
    bool append(const char *data, qsizetype length);
};

// The model behind List1: one row per line, shown as plain text.
class RecordLineModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    void setLines(RecordLines lines);
    const RecordLines &lines() const { return lines_; }

private:
    RecordLines lines_;
};

// The list of the send-records panel: lines loaded from a file, each of which can be marked
// (selected) on its own.
class RecordLineList : public QListView {
    Q_OBJECT
public:
    explicit RecordLineList(QWidget *parent = nullptr);

    int count() const;
    QString text(int row) const;
    bool isSelected(int row) const;
    void setSelected(int row, bool selected);
    int selectedCount() const;

    // Replaces every line; none is marked.
    void setLines(RecordLines lines);
    void addItem(const QString &line);
    void clear() { setLines(RecordLines()); }

private:
    RecordLineModel *model_;
};
