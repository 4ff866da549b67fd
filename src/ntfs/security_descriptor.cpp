#include "ntfs/security_descriptor.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "support/binary_data.h"

namespace skelvar {

namespace {

constexpr std::size_t descriptor_header = 0x14;
constexpr std::size_t acl_header = 8;
constexpr std::size_t ace_header = 8;

// Object ACEs carry a flags word and up to two GUIDs before their SID.
bool is_object_ace(std::uint8_t type) {
    return (type >= 5 && type <= 8) || type == 11 || type == 12 || type == 15 || type == 16;
}

constexpr std::array<std::string_view, 4> creator_names = {"Owner", "Group", "Owner Server", "Group Server"};

constexpr std::array<std::string_view, 33> nt_names = {
    "unk", "Dialup", "Network", "Batch", "Interactive", "Logon Ids", "Service", "Anonymous Logon", "Proxy",
    "Server Logon [Domain Controllers]", "Principal Self", "Authenticated User", "Restricted Code",
    "Terminal Server Users", "unk", "unk", "unk", "unk", "Local System", "Local Service", "Network Service",
    "NT Non Unique", "unk", "unk", "unk", "unk", "unk", "unk", "unk", "unk", "unk", "unk", "Builtin Domain"};

constexpr std::pair<std::uint32_t, std::string_view> rid_names[] = {
    {500, "User Admin"},
    {501, "User Guest"},
    {502, "KRBTGT [key distrib center]"},
    {512, "Domain Admin"},
    {513, "Domain Users"},
    {514, "Domain Guests"},
    {515, "Domain Computers"},
    {516, "Domain Controllers"},
    {517, "Domain Certificate Publishers"},
    {518, "Domain Schema Admins"},
    {519, "Domain Server Admins"},
    {520, "Domain Policy Creater/Owner"},
    {533, "Domain RAS & IAS Servers"},
    {544, "Admins"},
    {545, "Users"},
    {546, "Guests"},
    {547, "Power Users"},
    {548, "Account Operators"},
    {549, "Server Operators"},
    {550, "Print Operators"},
    {551, "Backup Operators"},
    {552, "Replicators"},
    {553, "RAS Services"},
    {554, "Pre Win2k Compatible Access"},
    {555, "Remote Desktop Users"},
    {556, "Network Configuration Operators"},
    {557, "Incoming Trust Forest Builders"},
    {558, "Performance Monitor Users"},
    {559, "Performance Log Users"},
    {560, "Windows Authorization Access Group"},
    {561, "Terminal Server License Servers"},
};

constexpr std::pair<std::uint32_t, std::string_view> mask_names[] = {
    {0x80000000u, "GENERIC_READ"},  {0x40000000u, "GENERIC_WRITE"}, {0x20000000u, "GENERIC_EXECUTE"},
    {0x10000000u, "GENERIC_ALL"},   {0x00010000u, "DELETE"},        {0x00020000u, "READ_CONTROL"},
    {0x00040000u, "WRITE_DAC"},     {0x00080000u, "WRITE_OWNER"},   {0x00100000u, "SYNCHRONIZE"},
    {0x01000000u, "ACCESS_SYSTEM_SECURITY"}, {0x02000000u, "MAXIMUM_ALLOWED"},
};

// The SID's bytes when they hold its header and every sub-authority; empty otherwise.
kavo::binary_data checked_sid(std::span<const std::uint8_t> bytes) {
    kavo::binary_data sid(bytes);
    if (sid.size() < 12) return {};
    const std::size_t needed = (static_cast<std::size_t>(sid.u8(1)) + 2) * 4;
    if (sid.size() < needed) return {};
    return sid.sub(0, needed);
}

// The 48-bit identifier authority (stored big-endian).
std::uint64_t authority_of(kavo::binary_data sid) {
    std::uint64_t v = 0;
    for (std::size_t i = 2; i < 8; ++i) v = (v << 8) | sid.u8(i);
    return v;
}

void append_dec(std::string& out, std::uint64_t v) { out += std::to_string(v); }

void pad_column(std::string& out, std::string_view text) {
    out += text;
    if (text.size() < 15) out.append(15 - text.size(), ' ');
    out += ' ';
}

// Same type and SID: the later ACE's rights join the earlier line.
void add_ace(std::vector<ace_text>& list, ace_text ace) {
    for (ace_text& seen : list) {
        if (seen.sid != ace.sid || seen.type != ace.type) continue;
        const std::uint32_t added = ace.mask_bits & ~seen.mask_bits;
        std::string more = access_mask_text(added);
        if (!more.empty()) {
            if (!seen.mask.empty()) seen.mask += " | ";
            seen.mask += more;
        }
        seen.mask_bits |= ace.mask_bits;
        return;
    }
    list.push_back(std::move(ace));
}

void parse_acl(kavo::binary_data sd, std::uint32_t offset, std::vector<ace_text>& out) {
    kavo::binary_data head = sd.sub(offset, acl_header);
    if (head.empty()) return;
    const std::size_t declared = head.u16(2);
    const std::size_t count = head.u16(4);
    // A size running past the descriptor is cut to what is there.
    kavo::binary_data acl = sd.sub(offset, std::min(declared, sd.size() - offset));
    std::size_t pos = acl_header;
    for (std::size_t i = 0; i < count && acl.has(pos, ace_header); ++i) {
        const std::uint8_t type = acl.u8(pos);
        const std::size_t size = acl.u16(pos + 2);
        if (size < ace_header || !acl.has(pos, size)) break;
        kavo::binary_data ace = acl.sub(pos, size);
        std::size_t sid_at = ace_header;
        if (is_object_ace(type)) {
            const std::uint32_t flags = ace.u32(ace_header);
            sid_at += 4 + ((flags & 1) ? 16 : 0) + ((flags & 2) ? 16 : 0);
        }
        ace_text t;
        t.type = ace_type_text(type);
        t.mask_bits = ace.u32(4);
        t.mask = access_mask_text(t.mask_bits);
        const auto sid = ace.from(sid_at).span();
        t.sid = sid_to_text(sid);
        t.name = sid_name(sid);
        add_ace(out, std::move(t));
        pos += size;
    }
}

void render_acl(std::string& out, std::string_view title, const std::vector<ace_text>& list) {
    out += "\n  ";
    out += title;
    out += '\n';
    for (const ace_text& ace : list) {
        out += "  ";
        pad_column(out, ace.type);
        pad_column(out, ace.sid);
        pad_column(out, ace.name);
        out += ace.mask;
        while (!out.empty() && out.back() == ' ') out.pop_back();
        out += '\n';
    }
}

}  // namespace

std::string sid_to_text(std::span<const std::uint8_t> bytes) {
    kavo::binary_data sid = checked_sid(bytes);
    std::string out;
    if (sid.empty()) return out;
    out += "S-";
    append_dec(out, sid.u8(0));
    out += '-';
    // Authorities beyond 32 bits are written in hexadecimal, as Windows does.
    const std::uint64_t authority = authority_of(sid);
    if (authority >> 32) {
        char hex[24];
        std::snprintf(hex, sizeof hex, "0x%012llx", static_cast<unsigned long long>(authority));
        out += hex;
    } else {
        append_dec(out, authority);
    }
    const std::size_t count = sid.u8(1);
    for (std::size_t i = 0; i < count; ++i) {
        out += '-';
        append_dec(out, sid.u32(8 + 4 * i));
    }
    return out;
}

std::string_view sid_name(std::span<const std::uint8_t> bytes) {
    kavo::binary_data sid = checked_sid(bytes);
    if (sid.empty()) return "unk";
    const std::size_t count = sid.u8(1);
    if (count == 1) {
        const std::uint32_t sub = sid.u32(8);
        switch (authority_of(sid)) {
            case 0: return "null";
            case 1: return "World";
            case 2: return "Local";
            case 3: return sub < creator_names.size() ? creator_names[sub] : "unk";
            case 5: return sub < nt_names.size() ? nt_names[sub] : "unk";
            default: return "unk";
        }
    }
    if (count > 1) {
        const std::uint32_t rid = sid.u32(8 + 4 * (count - 1));
        for (const auto& [value, name] : rid_names)
            if (value == rid) return name;
    }
    return "unk";
}

std::string_view ace_type_text(std::uint8_t type) {
    switch (type) {
        case 0: case 4: case 5: return "access allowed";
        case 1: case 6: return "access denied";
        case 2: case 7: return "system audit";
        case 3: case 8: return "system alarm";
        default: return "unknown";
    }
}

std::string access_mask_text(std::uint32_t mask) {
    std::string out;
    for (const auto& [bit, name] : mask_names) {
        if (!(mask & bit)) continue;
        out += name;
        out += " | ";
    }
    if (!out.empty()) out.resize(out.size() - 3);
    return out;
}

bool parse_descriptor(std::span<const std::uint8_t> bytes, security_descriptor_info& out) {
    out = security_descriptor_info{};
    kavo::binary_data sd(bytes);
    if (sd.size() < descriptor_header || sd.u8(0) != 1) return false;
    out.revision = sd.u8(0);
    out.control = sd.u16(2);
    const std::uint32_t owner = sd.u32(4), group = sd.u32(8), sacl = sd.u32(12), dacl = sd.u32(16);
    out.has_owner = owner != 0;
    out.has_group = group != 0;
    out.has_sacl = sacl != 0;
    out.has_dacl = dacl != 0;
    if (owner) {
        const auto sid = sd.from(owner).span();
        out.owner_sid = sid_to_text(sid);
        out.owner_name = sid_name(sid);
    }
    if (group) {
        const auto sid = sd.from(group).span();
        out.group_sid = sid_to_text(sid);
        out.group_name = sid_name(sid);
    }
    if (sacl) parse_acl(sd, sacl, out.sacl);
    if (dacl) parse_acl(sd, dacl, out.dacl);
    return true;
}

std::string owner_sid_of(std::span<const std::uint8_t> bytes) {
    kavo::binary_data sd(bytes);
    if (sd.size() < descriptor_header || sd.u8(0) != 1) return {};
    const std::uint32_t owner = sd.u32(4);
    return owner ? sid_to_text(sd.from(owner).span()) : std::string();
}

std::string render_descriptor(const security_descriptor_info& info) {
    std::string out = "  Security Identifiers\n";
    if (info.has_owner) out += "  owner sid [" + info.owner_sid + "]\n";
    if (info.has_group) out += "  group sid [" + info.group_sid + "]\n";
    if (info.has_sacl && !info.sacl.empty()) render_acl(out, "System Access Control List", info.sacl);
    if (info.has_dacl && !info.dacl.empty()) render_acl(out, "Discretionary Access Control List", info.dacl);
    return out;
}

std::string render_descriptor(std::span<const std::uint8_t> bytes) {
    security_descriptor_info info;
    if (!parse_descriptor(bytes, info)) return {};
    return render_descriptor(info);
}

}  // namespace skelvar
