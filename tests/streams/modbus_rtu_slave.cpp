// A Modbus RTU slave on a tty, made with libmodbus, for the tests and the
// benchmark of the Modbus master. Its map starts at 0x4A00 with 100 of each
// kind: holding register i holds 0x1000 + i, input register i 0x2000 + i,
// coil i is on when i % 3 == 0, discrete input i when i is odd. Outside the
// map libmodbus answers "Illegal data address".
//
// Faults on chosen start addresses (the address field of the request):
//   --exception A    reply exception 4 (server device failure)
//   --wrong-slave A  reply as slave + 1
//   --bad-crc A      reply with the CRC inverted
//   --silent A       no reply
// It prints "ready" once the tty is open and serves until killed.
//
// Usage: modbus_rtu_slave TTY [--slave N] [fault options...]

#include <modbus/modbus.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kStart = 0x4A00;
constexpr int kCount = 100;

uint16_t Crc16(const uint8_t* data, size_t length)
{
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

// The reply libmodbus would give, built by hand so it can be spoiled.
std::vector<uint8_t> ReplyBody(const uint8_t* query, int slave, const modbus_mapping_t* map)
{
    const int function = query[1];
    const int address = query[2] << 8 | query[3];
    const int quantity = query[4] << 8 | query[5];
    std::vector<uint8_t> body = {static_cast<uint8_t>(slave), static_cast<uint8_t>(function)};
    const int offset = address - kStart;
    if (function == 3 || function == 4) {
        const uint16_t* registers = function == 3 ? map->tab_registers : map->tab_input_registers;
        body.push_back(static_cast<uint8_t>(2 * quantity));
        for (int i = 0; i < quantity; ++i) {
            const uint16_t value = (offset + i >= 0 && offset + i < kCount) ? registers[offset + i] : 0;
            body.push_back(static_cast<uint8_t>(value >> 8));
            body.push_back(static_cast<uint8_t>(value & 0xFF));
        }
    } else if (function == 1 || function == 2) {
        const uint8_t* bits = function == 1 ? map->tab_bits : map->tab_input_bits;
        const int bytes = (quantity + 7) / 8;
        body.push_back(static_cast<uint8_t>(bytes));
        for (int b = 0; b < bytes; ++b) {
            uint8_t packed = 0;
            for (int j = 0; j < 8 && b * 8 + j < quantity; ++j) {
                const int index = offset + b * 8 + j;
                if (index >= 0 && index < kCount && bits[index])
                    packed |= static_cast<uint8_t>(1 << j);
            }
            body.push_back(packed);
        }
    } else {
        for (int i = 2; i < 6; ++i)
            body.push_back(query[i]);
    }
    return body;
}

void WriteFrame(int fd, std::vector<uint8_t> body, bool spoilCrc)
{
    uint16_t crc = Crc16(body.data(), body.size());
    if (spoilCrc)
        crc = static_cast<uint16_t>(~crc);
    body.push_back(static_cast<uint8_t>(crc & 0xFF));
    body.push_back(static_cast<uint8_t>(crc >> 8));
    size_t done = 0;
    while (done < body.size()) {
        const ssize_t n = ::write(fd, body.data() + done, body.size() - done);
        if (n <= 0 && errno != EAGAIN && errno != EINTR)
            return;
        if (n > 0)
            done += static_cast<size_t>(n);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TTY [--slave N] [--exception A] [--wrong-slave A] [--bad-crc A] [--silent A]\n",
                     argv[0]);
        return 2;
    }
    int slave = 7;
    std::set<int> exception, wrongSlave, badCrc, silent;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const int value = static_cast<int>(std::strtol(argv[i + 1], nullptr, 0));
        if (option == "--slave")
            slave = value;
        else if (option == "--exception")
            exception.insert(value);
        else if (option == "--wrong-slave")
            wrongSlave.insert(value);
        else if (option == "--bad-crc")
            badCrc.insert(value);
        else if (option == "--silent")
            silent.insert(value);
    }

    modbus_t* ctx = modbus_new_rtu(argv[1], 115200, 'N', 8, 1);
    if (ctx == nullptr || modbus_set_slave(ctx, slave) != 0 || modbus_connect(ctx) != 0) {
        std::fprintf(stderr, "modbus_rtu_slave: %s\n", modbus_strerror(errno));
        return 1;
    }
    modbus_mapping_t* map = modbus_mapping_new_start_address(kStart, kCount, kStart, kCount, kStart, kCount, kStart,
                                                             kCount);
    for (int i = 0; i < kCount; ++i) {
        map->tab_registers[i] = static_cast<uint16_t>(0x1000 + i);
        map->tab_input_registers[i] = static_cast<uint16_t>(0x2000 + i);
        map->tab_bits[i] = i % 3 == 0;
        map->tab_input_bits[i] = i % 2 == 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);

    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    int failures = 0;
    for (;;) {
        const int rc = modbus_receive(ctx, query);
        if (rc == 0)
            continue;  // for another slave
        if (rc < 0) {
            // A hung-up tty fails at once and for ever; garbage fails now and then.
            if (++failures > 1000)
                break;
            if (errno == EIO || errno == EBADF)
                usleep(1000);
            continue;
        }
        failures = 0;
        const int address = query[2] << 8 | query[3];
        if (silent.count(address))
            continue;
        if (exception.count(address))
            modbus_reply_exception(ctx, query, MODBUS_EXCEPTION_SLAVE_OR_SERVER_FAILURE);
        else if (wrongSlave.count(address))
            WriteFrame(modbus_get_socket(ctx), ReplyBody(query, slave + 1, map), false);
        else if (badCrc.count(address))
            WriteFrame(modbus_get_socket(ctx), ReplyBody(query, slave, map), true);
        else
            modbus_reply(ctx, query, rc, map);
    }
    modbus_mapping_free(map);
    modbus_close(ctx);
    modbus_free(ctx);
    return 0;
}
