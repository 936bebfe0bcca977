#include "wave/ti_plot.h"

#include <QAction>
#include <QToolBar>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace {

// Channel 1 has a colour of its own, distinct from the seven named ones.
const QColor kChannelColors[TiPlot::kChannels] = {
    QColor(255, 64, 64),  Qt::yellow,     Qt::blue,    QColor(255, 0, 255),
    QColor(0, 255, 255), QColor(0, 255, 0), Qt::white, QColor(128, 0, 0)};

void StyleAxis(QCPAxis* axis, const QString& label)
{
    axis->setLabel(label);
    axis->setBasePen(QPen(Qt::white));
    axis->setTickPen(QPen(Qt::white));
    axis->setSubTickPen(QPen(Qt::white));
    axis->setTickLabelColor(Qt::white);
    axis->setLabelColor(Qt::white);
    axis->grid()->setPen(QPen(QColor(80, 80, 80), 0, Qt::DotLine));
}

}  // namespace

qint64 TiPlotChannel::AddXY(double x, double y)
{
    if (segments_.empty() || segments_.back()->data()->size() >= kSegmentPoints) {
        QCPGraph* segment = plot_.Plot()->addGraph(legend_->keyAxis(), legend_->valueAxis());
        segment->setPen(legend_->pen());
        segment->setLineStyle(legend_->lineStyle());
        segment->removeFromLegend();
        if (!segments_.empty()) {
            const QCPGraphData last = *(segments_.back()->data()->constEnd() - 1);
            segment->addData(last.key, last.value);
            ++stored_;
        }
        segments_.push_back(segment);
    }
    segments_.back()->addData(x, y);
    ++stored_;
    while (segments_.size() > 1 && stored_ - segments_.front()->data()->size() >= kHistoryPoints) {
        stored_ -= segments_.front()->data()->size();
        plot_.Plot()->removeGraph(segments_.front());
        segments_.pop_front();
    }
    plot_.PointAdded(x);
    return added_++;
}

void TiPlotChannel::Clear()
{
    for (QCPGraph* segment : segments_)
        plot_.Plot()->removeGraph(segment);
    segments_.clear();
    stored_ = 0;
    added_ = 0;
    plot_.Cleared();
}

qsizetype TiPlotChannel::Kept() const
{
    return segments_.empty() ? 0 : stored_ - qsizetype(segments_.size() - 1);
}

QList<QPointF> TiPlotChannel::Points() const
{
    QList<QPointF> points;
    for (size_t index = 0; index < segments_.size(); ++index) {
        const auto data = segments_[index]->data();
        for (auto it = data->constBegin() + (index > 0 ? 1 : 0); it != data->constEnd(); ++it)
            points.append(QPointF(it->key, it->value));
    }
    return points;
}

bool TiPlotChannel::ValueRange(const QCPRange& keys, QCPRange& range) const
{
    bool any = false;
    for (QCPGraph* segment : segments_) {
        bool found = false;
        // A binary search on the segment's keys: the cost does not grow with
        // the history.
        const QCPRange part = segment->getValueRange(found, QCP::sdBoth, keys);
        if (!found)
            continue;
        if (any) {
            range.expand(part);
        } else {
            range = part;
            any = true;
        }
    }
    return any;
}

TiPlot::TiPlot(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Chart1"));
    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->addAction(QStringLiteral("放大"), this, &TiPlot::ZoomIn)->setObjectName(QStringLiteral("ZoomIn"));
    toolBar_->addAction(QStringLiteral("缩小"), this, &TiPlot::ZoomOut)->setObjectName(QStringLiteral("ZoomOut"));
    toolBar_->addAction(QStringLiteral("复位"), this, &TiPlot::ZoomReset)->setObjectName(QStringLiteral("ZoomReset"));

    plot_ = new QCustomPlot(this);
    plot_->setObjectName(QStringLiteral("Plot"));
    plot_->setBackground(Qt::black);
    plot_->setPlottingHint(QCP::phFastPolylines, true);
    plot_->plotLayout()->insertRow(0);
    auto* title = new QCPTextElement(plot_, QStringLiteral("数据波形"), QFont(QStringLiteral("Arial"), 11, QFont::Bold));
    title->setTextColor(Qt::white);
    plot_->plotLayout()->addElement(0, 0, title);
    StyleAxis(plot_->xAxis, QStringLiteral("X-Axis 1"));
    StyleAxis(plot_->yAxis, QStringLiteral("Y-Axis 1"));
    plot_->xAxis->setRange(0, kSpan);
    plot_->yAxis->setRange(0, 1);
    plot_->legend->setVisible(true);
    plot_->legend->setBrush(QColor(0, 0, 0, 160));
    plot_->legend->setTextColor(Qt::white);
    plot_->legend->setBorderPen(QPen(Qt::gray));
    for (int index = 0; index < kChannels; ++index) {
        QCPGraph* graph = plot_->addGraph(plot_->xAxis, plot_->yAxis);
        graph->setName(QStringLiteral("Channel %1").arg(index + 1));
        graph->setPen(QPen(kChannelColors[index]));
        graph->setLineStyle(QCPGraph::lsLine);
        channels_[index] = std::make_unique<TiPlotChannel>(*this, graph);
    }
    // The data cursor, there but hidden; bound to no curve, so drawing a
    // frame never looks for it.
    auto* cursor = new QCPItemTracer(plot_);
    cursor->setObjectName(QStringLiteral("DataCursor"));
    cursor->setVisible(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(plot_, 1);

    frameTimer_.setInterval(kFrameIntervalMs);
    connect(&frameTimer_, &QTimer::timeout, this, &TiPlot::FrameTick);
    frameTimer_.start();
}

TiPlot::~TiPlot() = default;

TiPlotChannel* TiPlot::GetChannel(int index)
{
    return index >= 0 && index < kChannels ? channels_[index].get() : nullptr;
}

void TiPlot::ZoomIn()
{
    span_ = std::max(kSpan / 64, span_ / kZoomFactor);
    Redraw();
}

void TiPlot::ZoomOut()
{
    span_ = std::min(kSpan * 64, span_ * kZoomFactor);
    Redraw();
}

void TiPlot::ZoomReset()
{
    span_ = kSpan;
    Redraw();
}

void TiPlot::PointAdded(double x)
{
    newestX_ = std::max(newestX_, x);
    dirty_ = true;
}

void TiPlot::Cleared()
{
    newestX_ = 0;
    dirty_ = true;
}

void TiPlot::FrameTick()
{
    // A hidden plot is drawn when it shows again.
    if (dirty_ && isVisible())
        Redraw();
}

void TiPlot::Redraw()
{
    QElapsedTimer clock;
    clock.start();
    dirty_ = false;
    const QCPRange keys(std::max(0.0, newestX_ - span_), std::max(span_, newestX_));
    plot_->xAxis->setRange(keys);
    // The value range of the points in view only.
    bool any = false;
    QCPRange values;
    for (const auto& channel : channels_) {
        QCPRange range;
        if (!channel->ValueRange(keys, range))
            continue;
        if (any) {
            values.expand(range);
        } else {
            values = range;
            any = true;
        }
    }
    // Infinite float samples have no place on a scale: the range stays.
    if (any && std::isfinite(values.lower) && std::isfinite(values.upper) && std::isfinite(values.size())) {
        if (values.size() == 0)
            values = QCPRange(values.lower - 1, values.upper + 1);
        const double margin = values.size() * 0.05;
        plot_->yAxis->setRange(values.lower - margin, values.upper + margin);
    }
    plot_->replot(QCustomPlot::rpQueuedRefresh);
    ++frames_;
    worstFrameNs_ = std::max(worstFrameNs_, clock.nsecsElapsed());
}
