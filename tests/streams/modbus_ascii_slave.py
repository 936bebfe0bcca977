#!/usr/bin/python3
"""A Modbus ASCII slave made with pymodbus, for the tests of the Modbus master.

Slave 7 with the same map as modbus_rtu_slave: from 0x4A00, 100 of each kind;
holding register i holds 0x1000 + i, input register i 0x2000 + i, coil i is on
when i % 3 == 0, discrete input i when i is odd. The context uses zero_mode so
the addresses on the wire are the addresses of the map.

Faults on chosen start addresses:
  --exception A    reply exception 4 (server device failure)
  --wrong-slave A  reply as slave 8
  --bad-lrc A      reply with a wrong LRC
  --silent A       no reply
Prints "ready" once the tty is open and serves until killed.

Usage: modbus_ascii_slave.py TTY [fault options...]
"""

import argparse
import asyncio
import logging

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.factory import ServerDecoder
from pymodbus.server import StartAsyncSerialServer
from pymodbus.transaction import ModbusAsciiFramer

START = 0x4A00
COUNT = 100
SLAVE = 7


def auto_int(text):
    return int(text, 0)


parser = argparse.ArgumentParser()
parser.add_argument("tty")
for option in ("--exception", "--wrong-slave", "--bad-lrc", "--silent"):
    parser.add_argument(option, type=auto_int, action="append", default=[])
args = parser.parse_args()

# The start address of the request being served: pymodbus hands the response
# alone to the manipulator.
last_address = {"value": None}


class Block(ModbusSequentialDataBlock):
    def validate(self, address, count=1):
        last_address["value"] = address
        return super().validate(address, count)

    def getValues(self, address, count=1):
        if address in args.exception:
            raise RuntimeError("injected server device failure")
        return super().getValues(address, count)

    def setValues(self, address, values):
        if address in args.exception:
            raise RuntimeError("injected server device failure")
        super().setValues(address, values)


framer = ModbusAsciiFramer(ServerDecoder())


def manipulate(response):
    address = last_address["value"]
    if address in args.silent:
        return b"", True
    if address in args.wrong_slave:
        response.unit_id = SLAVE + 1
    if address in args.bad_lrc:
        packet = bytearray(framer.buildPacket(response))
        packet[-3] = ord("1") if packet[-3] != ord("1") else ord("2")
        return bytes(packet), True
    return response, False


async def main():
    store = ModbusSlaveContext(
        di=Block(START, [i % 2 == 1 for i in range(COUNT)]),
        co=Block(START, [i % 3 == 0 for i in range(COUNT)]),
        hr=Block(START, [0x1000 + i for i in range(COUNT)]),
        ir=Block(START, [0x2000 + i for i in range(COUNT)]),
        zero_mode=True,
    )
    context = ModbusServerContext(slaves={SLAVE: store}, single=False)
    server = await StartAsyncSerialServer(
        context=context,
        framer=ModbusAsciiFramer,
        port=args.tty,
        baudrate=115200,
        defer_start=True,
        ignore_missing_slaves=True,
        response_manipulator=manipulate,
    )
    await server.start()
    print("ready", flush=True)
    await server.serve_forever()


logging.basicConfig(level=logging.CRITICAL)
asyncio.run(main())
