#pragma once

// The keys of section FORM of config.ini, with the control each one stores
// and its default, in the order the file is written and read. Shared by the
// window's settings and by the checks that read the file without widgets.
namespace FormKeys {

enum class Kind { Memo, Snippets, ComboIndex, Edit, Flag };

struct Key
{
    const char* name;
    Kind kind;
    const char* control;
    const char* defaultValue;
};

inline constexpr Key kKeys[] = {
    {"MMOCOM1", Kind::Memo, "mmoCOM1", ""},
    {"MMOCOM2", Kind::Memo, "mmoCOM2", ""},
    {"MMOTCP", Kind::Memo, "mmoTCP", ""},
    {"MMOTCPCLIENT", Kind::Memo, "mmoTCPClient", ""},
    {"MMOUDP", Kind::Memo, "mmoUDP", ""},
    {"MMOUDPCLIENT", Kind::Memo, "mmoUDPClient", ""},
    {"USERSTR", Kind::Snippets, "ValueListEditor1", ""},
    {"COMA", Kind::ComboIndex, "cbb_COM", "0"},
    {"COMB", Kind::ComboIndex, "cbb2_COM", "0"},
    {"TCPS_PORT", Kind::Edit, "edtTCPPort", "10002"},
    {"TCPC_HOST", Kind::Edit, "edtTCPClientHost", ""},
    {"TCPC_PORT", Kind::Edit, "edtTCPClientPort", "10002"},
    {"UDPS_HOST", Kind::Edit, "edtUDPRemoteHost", "127.0.0.1"},
    {"UDPS_RPORT", Kind::Edit, "edtUDPRemotePort", "7000"},
    {"UDPS_LPORT", Kind::Edit, "edtLocalPort", "8000"},
    {"UDPC_HOST", Kind::Edit, "edtUDPClientRemoteHost", "127.0.0.1"},
    {"UDPC_RPORT", Kind::Edit, "edtUDPClientRemotePort", "8000"},
    {"UDPC_LPORT", Kind::Edit, "edtUDPClientLocalPort", "7000"},
    {"REV_HEXSHOW", Kind::Flag, "chkHexShow", "0"},
};

}  // namespace FormKeys
