#pragma once

#include <QtGlobal>

#include <vector>

// Numbered 16-bit values in the order they were added; each item is
// number × 65536 + value, and a number occurs at most once (adding it again
// replaces its value in place).
class TnrModbusItemList
{
public:
    void Add(quint16 number, quint16 value);
    void Put(quint16 number, quint16 value) { Add(number, value); }
    // The value of `number`, 0 when absent.
    quint16 Get(quint16 number) const;
    int IndexOf(quint16 number) const;
    int Count() const { return static_cast<int>(items_.size()); }
    bool IsEmpty() const { return items_.empty(); }
    void Clear() { items_.clear(); }
    quint32 Item(int index) const { return items_.at(static_cast<size_t>(index)); }
    quint16 NumberAt(int index) const { return static_cast<quint16>(Item(index) >> 16); }
    quint16 ValueAt(int index) const { return static_cast<quint16>(Item(index) & 0xFFFF); }

private:
    std::vector<quint32> items_;
};

// Register numbers and their 16-bit values.
class TnrModbusRegisterList : public TnrModbusItemList
{
public:
    int IndexOfRegister(quint16 number) const { return IndexOf(number); }
    quint16 GetRegNumber(int index) const { return NumberAt(index); }
    quint16 GetRegValue(int index) const { return ValueAt(index); }
};

// Coil numbers and their states, 0 or 1.
class TnrModbusCoilList : public TnrModbusItemList
{
public:
    void Add(quint16 number, bool on) { TnrModbusItemList::Add(number, on ? 1 : 0); }
    void Put(quint16 number, bool on) { Add(number, on); }
    int IndexOfCoil(quint16 number) const { return IndexOf(number); }
    quint16 GetCoilNumber(int index) const { return NumberAt(index); }
    bool GetCoilValue(int index) const { return ValueAt(index) != 0; }
};
