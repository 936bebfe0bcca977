// Modbus polling speed over a pseudo-terminal pair: the libmodbus RTU slave
// on one end; on the other, in turn, a plain libmodbus master reading ten
// holding registers with function 3 in a loop, and the engine TnrModbus on
// serial port A polling the same ten registers with DelayPoll 0. Prints the
// replies per second of both and their ratio. A plain program, not a test.

#include "modbus/tnr_modbus.h"
#include "serial/serial_a_channel.h"
#include "tests/serial/socat_pair.h"
#include "tests/streams/modbus_slave_peer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <modbus/modbus.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSeconds = 2;
constexpr int kStart = 0x4A00;
constexpr int kRegisters = 10;

struct NullSink : ReceiveSink
{
    void ShowInfo(const QString&, LineColor) override {}
    void ProcessReceived(QByteArrayView, const QString&, ChannelId) override {}
};

bool MapValues(const quint16* values)
{
    for (int i = 0; i < kRegisters; ++i)
        if (values[i] != ModbusSlavePeer::HoldingRegister(kStart + i))
            return false;
    return true;
}

// Replies per second of a plain libmodbus master; -1 when it cannot run.
double PlainMaster(const QString& tty)
{
    modbus_t* ctx = modbus_new_rtu(tty.toLocal8Bit().constData(), 115200, 'N', 8, 1);
    if (ctx == nullptr || modbus_set_slave(ctx, 7) != 0 || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "libmodbus master: %s\n", modbus_strerror(errno));
        return -1;
    }
    quint16 values[kRegisters];
    long replies = 0;
    long wrong = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kSeconds * 1000) {
        if (modbus_read_registers(ctx, kStart, kRegisters, values) == kRegisters && MapValues(values))
            ++replies;
        else
            ++wrong;
    }
    const double seconds = clock.elapsed() / 1000.0;
    modbus_close(ctx);
    modbus_free(ctx);
    if (wrong > 0)
        std::printf("  libmodbus master: %ld failed reads\n", wrong);
    return replies / seconds;
}

// Replies per second of the engine on serial port A; -1 when it cannot run.
double Engine(const QString& tty, int* lastRepliesPerSecond)
{
    NullSink sink;
    SerialAChannel channel(sink);
    channel.PickPortPath(tty);
    channel.Open();
    if (!channel.IsOpen()) {
        std::fprintf(stderr, "port A did not open on %s\n", qPrintable(tty));
        return -1;
    }
    TnrModbus engine;
    engine.SetActive(true);
    engine.SetTimeout(1000);
    channel.nrComm1->SetDataProcessor(&engine);
    long replies = 0;
    long wrong = 0;
    engine.OnModbusReply = [&](TnrModbus*, const TnrModbusPacket&, const TnrModbusRegisterList& registers,
                               const TnrModbusCoilList&) {
        quint16 values[kRegisters] = {};
        for (int i = 0; i < registers.Count() && i < kRegisters; ++i)
            values[i] = registers.GetRegValue(i);
        if (registers.Count() == kRegisters && MapValues(values))
            ++replies;
        else
            ++wrong;
    };
    int timeouts = 0;
    engine.OnTimeout = [&](TnrDataProtocol*) { ++timeouts; };
    QElapsedTimer clock;
    clock.start();
    engine.ReadRegisters(kStart, kRegisters, 7, true);
    // A blocking event loop: processEvents with a time limit would spin and
    // take a processor from the port's own threads.
    QEventLoop loop;
    QTimer::singleShot(kSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = clock.elapsed() / 1000.0;
    engine.StopPolling();
    *lastRepliesPerSecond = engine.RepliesPerSecond();
    const long counted = replies;
    QElapsedTimer drain;
    drain.start();
    while (engine.RequestCount() > 0 && drain.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    channel.nrComm1->SetDataProcessor(nullptr);
    channel.Close();
    if (wrong > 0 || timeouts > 0)
        std::printf("  engine: %ld wrong replies, %d time-outs\n", wrong, timeouts);
    return counted / seconds;
}

// Replies per second of the engine alone: each request is answered at once
// by hand, so the figure is the engine's own cost of a poll cycle.
double EngineAlone()
{
    TnrModbus engine;
    engine.SetActive(true);
    const quint8 body[] = {7, 3, 20, 0x10, 0x00, 0x10, 0x01, 0x10, 0x02, 0x10, 0x03, 0x10, 0x04,
                           0x10, 0x05, 0x10, 0x06, 0x10, 0x07, 0x10, 0x08, 0x10, 0x09};
    QByteArray reply(reinterpret_cast<const char*>(body), sizeof body);
    const quint16 crc = ModbusCrc16(body, int(sizeof body));
    reply += char(crc & 0xFF);
    reply += char(crc >> 8);
    long requests = 0;
    engine.OnDataSend = [&](TnrCustomDataProcessor*, const char*, quint32, bool, bool& handled) {
        ++requests;
        handled = true;
    };
    long replies = 0;
    engine.OnModbusReply = [&](TnrModbus*, const TnrModbusPacket&, const TnrModbusRegisterList& registers,
                               const TnrModbusCoilList&) { replies += registers.Count() == kRegisters ? 1 : 0; };
    engine.ReadRegisters(kStart, kRegisters, 7, true);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1000) {
        for (int i = 0; i < 1000; ++i)
            engine.DataReceive(reply.constData(), quint32(reply.size()));
    }
    const double seconds = clock.elapsed() / 1000.0;
    return replies == requests - 1 ? replies / seconds : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--engine-alone"))) {
        std::printf("TnrModbus alone, replies fed by hand: %.0f poll cycles/s\n", EngineAlone());
        return 0;
    }
    QTemporaryDir empty;
    TnrComm::SetDefaultScanRoots({empty.path(), empty.path(), empty.path()});
    SocatPair pair;
    if (!pair.Ready()) {
        std::fprintf(stderr, "socat did not make a pseudo-terminal pair\n");
        return 1;
    }
    ModbusSlavePeer slave(QStringLiteral(SERIALNET_MODBUS_RTU_SLAVE), {pair.B()});
    if (!slave.Ready()) {
        std::fprintf(stderr, "the libmodbus slave did not start: %s\n", qPrintable(slave.Errors()));
        return 1;
    }
    std::printf("Function 3, %d registers from 0x%04X, slave 7, %d s a run, pseudo-terminal pair\n", kRegisters,
                kStart, kSeconds);
    double plainTotal = 0;
    double engineTotal = 0;
    std::vector<double> ratios;
    // Short rounds taken in turn, so that load from elsewhere on the machine
    // falls on both alike.
    for (int round = 1; round <= 5; ++round) {
        const double plain = PlainMaster(pair.A());
        int windowFigure = 0;
        const double engine = Engine(pair.A(), &windowFigure);
        if (plain <= 0 || engine < 0)
            return 1;
        std::printf("round %d: libmodbus master %.0f replies/s, TnrModbus %.0f replies/s (RepliesPerSecond %d), "
                    "ratio %.2f\n",
                    round, plain, engine, windowFigure, engine / plain);
        plainTotal += plain;
        engineTotal += engine;
        ratios.push_back(engine / plain);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("ratio TnrModbus / libmodbus master: %.2f over all rounds, median of rounds %.2f\n",
                engineTotal / plainTotal, ratios[ratios.size() / 2]);
    std::printf("TnrModbus alone, replies fed by hand: %.0f poll cycles/s\n", EngineAlone());
    return 0;
}
