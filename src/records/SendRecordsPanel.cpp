#include "records/SendRecordsPanel.h"

#include "link/DeviceLink.h"
#include "link/LinkResult.h"
#include "records/RecordLineFile.h"
#include "records/RecordSupport.h"
#include "ui/CollectionProgress.h"
#include "ui/FrmZevo.h"
#include "ui/LinkCallRunner.h"
#include "ui/OperatorInterface.h"

#include <QLabel>
#include <QLineEdit>

using namespace RecordSupport;

void SendRecordsPanel::command17()
{
    auto &w = ctx_.window;
    w.Picture1->move(0, w.Picture1->y());
    w.Picture1->show();
    w.Picture1->raise();
    w.Text4->setText(w.TxtAddress->text());
}

void SendRecordsPanel::command20() { ctx_.window.Picture1->hide(); }

void SendRecordsPanel::command21()
{
    auto &w = ctx_.window;
    const QString record = w.Text1->text();
    if (record.size() != 20) {
        ctx_.op.message(QStringLiteral("输入数据格式不正确，请对照上面的说明重新输入！"),
                        OperatorInterface::Buttons::Ok, OperatorInterface::Icon::None, QStringLiteral("温馨提示"));
        return;
    }
    guarded(ctx_, [&] {
        const QString address = w.Text4->text();
        QString card = record.left(8);
        QString dateTime = record.mid(8, 12);
        QVariant r;
        ctx_.runner.run([&] {
            r = ctx_.link.SendRecordToMachine(address, card, dateTime, QStringLiteral("FF"), QStringLiteral("99"));
        });
        w.setStatusText(LinkResult::toBool(r) ? QStringLiteral("发送成功") : QStringLiteral("发送失败"));
    });
}

void SendRecordsPanel::command18()
{
    auto &w = ctx_.window;
    const auto chosen = ctx_.op.chooseFile(QStringLiteral("Dlg_Open"), QStringLiteral("Text (*.txt)|*.txt"));
    if (!chosen || chosen->size() <= 2) return;
    const QString path = *chosen;
    RecordLineFile::Result loaded;
    bool read = false;
    guarded(ctx_, [&] {
        // Read off the window's thread where the runner allows, with the progress bar beside the
        // status text: a file of millions of lines leaves the window painting.
        CollectionProgress progress(ctx_);
        LinkCallRunner &runner = ctx_.runner;
        runner.run([&] {
            loaded =
                RecordLineFile::read(path, [&runner](qint64 done, qint64 size) { runner.forwardProgress(done, size); });
        });
        read = true;
    });
    if (!read) return;
    if (loaded.verdict != RecordLineFile::Result::Verdict::Loaded) {
        // A file that is refused or cannot be read leaves the loaded lines alone.
        ctx_.op.message(loaded.message(path));
        return;
    }
    const qsizetype n = loaded.lines.size();
    w.List1->setLines(std::move(loaded.lines));
    w.List1->selectAll();
    w.DataCount->setText(QString::number(n));
}

void SendRecordsPanel::label9() { ctx_.window.List1->selectAll(); }

void SendRecordsPanel::label13() { ctx_.window.List1->clearSelection(); }

void SendRecordsPanel::command19()
{
    auto &w = ctx_.window;
    const int n = w.List1->count();
    // An error stops the run with the item that raised it still marked, so a second click resends
    // exactly what did not arrive.
    guarded(ctx_, [&] {
        for (int i = 0; i < n; ++i) {
            if (!w.List1->isSelected(i)) continue;
            const QString line = w.List1->text(i).trimmed();
            QString card = line.mid(3, 8);
            QString dateTime = line.mid(11, 12);
            const QString address = w.Text4->text();
            ctx_.op.pause(5);
            QVariant r;
            ctx_.runner.run([&] {
                r = ctx_.link.SendRecordToMachine(address, card, dateTime, QStringLiteral("1"), QStringLiteral("2"));
            });
            const QString position = QStringLiteral("第：") + QString::number(i);
            if (LinkResult::toBool(r)) {
                w.setStatusText(position + QStringLiteral("条发送成功"));
                w.List1->setSelected(i, false);
            } else {
                w.setStatusText(position + QStringLiteral("条发送失败"));
            }
        }
    });
}
