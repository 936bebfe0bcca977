#pragma once

#include "wave/wave_plot.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <QList>
#include <QPointF>

#include <array>
#include <deque>
#include <memory>

class QCPGraph;
class QCPRange;
class QCustomPlot;
class QToolBar;
class TiPlot;

// One curve of the plot. It keeps the newest kHistoryPoints points (up to
// one segment more); older ones are dropped, the returned index runs on.
// The points are held in segments of kSegmentPoints, each a graph of its own
// drawn with the curve's pen, so that dropping old points is letting go of a
// whole segment: a single container of a million points would have to be
// copied to drop its front, stalling the window for a tenth of a second.
class TiPlotChannel : public WavePlotChannel
{
public:
    static constexpr qsizetype kHistoryPoints = 1'000'000;
    static constexpr qsizetype kSegmentPoints = 1 << 16;

    // `legend` holds no points; it names the curve in the legend.
    TiPlotChannel(TiPlot& plot, QCPGraph* legend) : plot_(plot), legend_(legend) {}

    qint64 AddXY(double x, double y) override;
    void Clear() override;

    QCPGraph* LegendGraph() const { return legend_; }
    // Points held now (at most kHistoryPoints plus a segment), oldest first.
    qsizetype Kept() const;
    QList<QPointF> Points() const;
    // The value range of the points with keys in `keys`.
    bool ValueRange(const QCPRange& keys, QCPRange& range) const;

private:
    TiPlot& plot_;
    QCPGraph* legend_;
    std::deque<QCPGraph*> segments_;
    // Points in the segments, counting the first point of every segment
    // after the first, which repeats the last one before it to join the line.
    qsizetype stored_ = 0;
    qint64 added_ = 0;
};

// The plot control of the waveform window, on QCustomPlot: title "数据波形",
// eight channels "Channel 1" to "Channel 8" on one X and one Y axis, a legend
// and a zoom toolbar. The X axis shows a sliding span of 100 units ending at
// the newest point, the Y axis the range of the points in view. Points only
// mark the plot as changed; a frame timer redraws it at most about 30 times
// a second, however fast points come.
class TiPlot : public QWidget, public WavePlot
{
    Q_OBJECT

public:
    static constexpr int kChannels = 8;
    static constexpr double kSpan = 100;
    static constexpr double kZoomFactor = 2;
    static constexpr int kFrameIntervalMs = 33;

    explicit TiPlot(QWidget* parent = nullptr);
    ~TiPlot() override;

    int ChannelCount() const override { return kChannels; }
    TiPlotChannel* GetChannel(int index) override;

    QCustomPlot* Plot() const { return plot_; }
    QToolBar* ToolBar() const { return toolBar_; }
    double Span() const { return span_; }
    // "放大" halves the X span shown, "缩小" doubles it, "复位" gives 100 again.
    void ZoomIn();
    void ZoomOut();
    void ZoomReset();

    // Lays out the axes for the newest points and draws now.
    void Redraw();
    // Frames drawn and the longest one, for the benchmark and the tests.
    qint64 FrameCount() const { return frames_; }
    qint64 WorstFrameNs() const { return worstFrameNs_; }

private:
    friend class TiPlotChannel;
    void PointAdded(double x);
    void Cleared();
    void FrameTick();

    QCustomPlot* plot_;
    QToolBar* toolBar_;
    std::array<std::unique_ptr<TiPlotChannel>, kChannels> channels_;
    QTimer frameTimer_;
    double span_ = kSpan;
    double newestX_ = 0;
    bool dirty_ = true;
    qint64 frames_ = 0;
    qint64 worstFrameNs_ = 0;
};
