#include "ui/shell/transferbar.h"

#include "model/tavomodel.h"
#include "platform/text.h"
#include "ui/kit/kit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

QString TransferBar::summaryText(qsizetype count, qint64 bytes)
{
    return text::count(count, u"{0} utwór"_s, u"{0} utwory"_s, u"{0} utworów"_s) + u" · "_s + text::byteCount(bytes);
}

TransferBar::TransferBar(TavoModel *model, QWidget *parent)
    : QWidget(parent), m_model(model)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(26, 19, 26, 19);
    layout->setSpacing(9);

    auto *row = new QHBoxLayout;
    row->setSpacing(12);
    auto *texts = new QVBoxLayout;
    texts->setSpacing(5);
    m_title = new QLabel(this);
    m_title->setFont(kit::font(15, QFont::DemiBold));
    m_summary = new QLabel(this);
    m_summary->setFont(kit::font(12));
    kit::setTextColor(m_summary, kit::secondaryText(palette()));
    texts->addWidget(m_title);
    texts->addWidget(m_summary);
    row->addLayout(texts);
    row->addStretch(1);
    m_clear = new QPushButton(kit::tr(u"Wyczyść kolejkę"_s), this);
    m_clear->setFlat(true);
    m_clear->setCursor(Qt::PointingHandCursor);
    m_send = new QPushButton(kit::symbolIcon(u"arrow.down.to.line"_s, Qt::white), kit::tr(u"Wgraj na iPoda"_s), this);
    m_send->setDefault(true);
    m_send->setFont(kit::font(13, QFont::DemiBold));
    kit::makeProminent(m_send, true);
    row->addWidget(m_clear);
    row->addWidget(m_send);
    layout->addLayout(row);

    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    m_progress->setMaximumHeight(6);
    layout->addWidget(m_progress);

    m_status = new QLabel(this);
    m_status->setFont(kit::font(11));
    m_status->setWordWrap(true);
    kit::setTextColor(m_status, kit::secondaryText(palette()));
    layout->addWidget(m_status);

    connect(m_clear, &QPushButton::clicked, this, [this] { m_model->setQueued({}); });
    connect(m_send, &QPushButton::clicked, this, [this] { m_model->transfer(); });
    for (auto signal : {&TavoModel::busyChanged, &TavoModel::progressChanged, &TavoModel::statusChanged,
                        &TavoModel::queuedChanged, &TavoModel::tracksChanged, &TavoModel::deviceChanged,
                        &TavoModel::objectWillChange})
        connect(model, signal, this, &TransferBar::update);
    update();
}

void TransferBar::update()
{
    const bool busy = m_model->busy();
    const qsizetype queued = m_model->queueCount();
    m_title->setText(kit::tr(busy ? u"Pracuję…"_s : u"Gotowe do wgrania"_s));
    m_summary->setText(kit::tr(summaryText(queued, m_model->queueBytes())));
    m_clear->setEnabled(!busy && queued > 0);
    m_send->setEnabled(!busy && queued > 0 && m_model->device().has_value());
    m_progress->setVisible(busy);
    if (m_model->progress() > 0) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(int(std::clamp(m_model->progress(), 0.0, 1.0) * 1000));
    } else {
        m_progress->setRange(0, 0); // no value yet: the busy animation
    }
    // At most two lines: the text is cut where a third would begin.
    const QString status = kit::tr(m_model->status());
    const QFontMetrics metrics(m_status->font());
    const int width = std::max(200, m_status->width());
    QString shown = status;
    if (metrics.boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, status).height() > 2 * metrics.lineSpacing()) {
        while (!shown.isEmpty()
               && metrics.boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, shown + u'…').height()
                      > 2 * metrics.lineSpacing())
            shown.chop(std::max<qsizetype>(1, shown.size() / 20));
        shown += u'…';
    }
    m_status->setText(shown);
    m_status->setToolTip(shown == status ? QString() : status);
    m_status->setMaximumHeight(2 * metrics.lineSpacing() + 2);
}
