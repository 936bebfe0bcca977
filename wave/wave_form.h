#pragma once

#include "data/receive_hooks.h"
#include "wave/wave_sample_decoder.h"

#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class TiPlot;

// The waveform window "数据波形图": every chunk the receive pipeline hands it
// while it shows becomes samples of the chosen type on one to eight curves.
// Closing it only hides it; the counter and the curves stay until "清空".
class TwaveForm : public QWidget, public WaveInput
{
    Q_OBJECT

public:
    // With `plot` null the window draws on its own TiPlot (`Chart1`);
    // otherwise every point goes to `plot`, which the caller keeps alive.
    explicit TwaveForm(WavePlot* plot = nullptr, QWidget* parent = nullptr);
    ~TwaveForm() override;

    // WaveInput
    bool IsShowing() const override { return isVisible(); }
    void AddWaveData(QByteArrayView chunk) override;

    void btnClearDataClick();

    // The format the option boxes stand at; none while no sample type (or no
    // curve count) is selected.
    std::optional<WaveFormat> Format() const;
    qint64 Counter() const { return feed_.Counter(); }

    QComboBox* cbChCnt;
    QComboBox* cbbNumType;
    QComboBox* cbbUS;
    QPushButton* btnClearData;
    QLabel* Label1;
    // Null when a plot was given.
    TiPlot* Chart1 = nullptr;

private:
    WaveFeed feed_;
};
