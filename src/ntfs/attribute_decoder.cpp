#include "ntfs/attribute_decoder.h"

#include <cstdio>

#include "app/mft_entries_ctx.h"
#include "support/binary_data.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

constexpr std::uint32_t reparse_tag_symlink = 0xA000000C;

struct attr_header {
    std::uint32_t type = 0, length = 0;
    std::uint8_t non_resident = 0, name_length = 0;
    std::uint16_t name_offset = 0, flags = 0, id = 0;
    std::uint32_t value_length = 0;
    std::uint16_t value_offset = 0;
    kavo::binary_data attr;   // the whole attribute record
    kavo::binary_data value;  // resident value, empty when absent or out of bounds
    std::u16string name;
};

standard_info read_standard_info(kavo::binary_data v) {
    // Older volumes carry a 48-byte value: the missing fields read as 0.
    standard_info si;
    si.created = v.u64(0x00);
    si.modified = v.u64(0x08);
    si.mft_changed = v.u64(0x10);
    si.accessed = v.u64(0x18);
    si.file_attributes = v.u32(0x20);
    si.max_versions = v.u32(0x24);
    si.version = v.u32(0x28);
    si.class_id = v.u32(0x2C);
    si.owner_id = v.u32(0x30);
    si.security_id = v.u32(0x34);
    si.quota_charged = v.u64(0x38);
    si.usn = v.u64(0x40);
    if (!si.created || !si.modified || !si.mft_changed || !si.accessed) {
        si.is_null = true;
        si.note = "null";
    }
    return si;
}

bool read_file_name(kavo::binary_data v, std::uint64_t reference_time, file_name_info& fn) {
    if (!v.has(0, 0x42)) return false;
    fn.parent_ref = v.u64(0x00);
    fn.created = v.u64(0x08);
    fn.modified = v.u64(0x10);
    fn.mft_changed = v.u64(0x18);
    fn.accessed = v.u64(0x20);
    fn.allocated_size = v.u64(0x28);
    fn.real_size = v.u64(0x30);
    fn.flags = v.u32(0x38);
    fn.reparse_value = v.u32(0x3C);
    fn.name_length = v.u8(0x40);
    fn.name_space = v.u8(0x41);
    fn.name = v.utf16(0x42, fn.name_length);  // empty when it would run past the value
    fn.is_dos = fn.name_space == ns_dos;
    const std::uint64_t times[] = {fn.created, fn.modified, fn.mft_changed, fn.accessed};
    for (auto t : times)
        if (reference_time != 0 && t > reference_time) fn.note = "future";
    for (auto t : times)
        if (t == 0) fn.note = "null";
    fn.anomaly = !fn.note.empty();
    return true;
}

object_id_info read_object_id(kavo::binary_data v) {
    object_id_info o;
    std::array<std::uint8_t, 16>* guids[] = {&o.object_id, &o.birth_volume_id, &o.birth_object_id, &o.domain_id};
    for (std::size_t g = 0; g < 4; ++g) {
        auto bytes = v.sub(g * 16, 16);
        if (bytes.empty()) break;
        for (std::size_t i = 0; i < 16; ++i) (*guids[g])[i] = bytes.u8(i);
    }
    kavo::binary_data id({o.object_id.data(), o.object_id.size()});
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", id.u32(0), id.u16(4),
                  id.u16(6), id.u8(8), id.u8(9), id.u8(10), id.u8(11), id.u8(12), id.u8(13), id.u8(14), id.u8(15));
    o.text = text;
    return o;
}

volume_info read_volume_info(kavo::binary_data v) {
    volume_info vi;
    vi.major = v.u8(0x08);
    vi.minor = v.u8(0x09);
    vi.flags = v.u16(0x0A);
    vi.text = "ver: " + std::to_string(vi.major) + "." + std::to_string(vi.minor);
    if (vi.major == 1 && vi.minor == 2) vi.text += " (WinNT)";
    else if (vi.major == 3 && vi.minor == 0) vi.text += " (Win2k)";
    else if (vi.major == 3 && vi.minor == 1) vi.text += " (WinXP)";
    else if (vi.major == 3 && vi.minor > 1) vi.text += " (Windows)";
    else vi.text += "(Unk version)";
    return vi;
}

bool read_reparse(kavo::binary_data v, reparse_info& rp) {
    if (v.size() < 17) return false;
    rp.tag = v.u32(0x00);
    const std::uint16_t data_length = v.u16(0x04);
    if (data_length == 0 || !v.has(0x08, data_length)) return false;
    kavo::binary_data data = v.sub(0x08, data_length);
    // Symbolic links carry a flags word before their path buffer.
    const std::size_t buffer = rp.tag == reparse_tag_symlink ? 0x0C : 0x08;
    std::size_t sub_off = data.u16(0x00), sub_len = data.u16(0x02);
    std::size_t print_off = data.u16(0x04), print_len = data.u16(0x06);
    if (!data.has(buffer + sub_off, sub_len) || !data.has(buffer + print_off, print_len)) return false;
    std::u16string sub = data.utf16(buffer + sub_off, sub_len / 2);
    std::size_t skipped = 0;
    while (skipped < sub.size() && sub[skipped] == 0) ++skipped;
    sub.erase(0, skipped);
    if (print_len != 0) {
        print_off += skipped * 2;
        print_len = print_len >= skipped * 2 ? print_len - skipped * 2 : 0;
        rp.target = data.utf16(buffer + print_off, print_len / 2);
        if (!rp.target.empty()) return true;
    }
    rp.target = sub;
    return true;
}

std::string_view label_for(std::uint32_t type) {
    switch (type) {
        case at_object_id: return "obj id";
        case at_security_descriptor: return "security descr";
        case at_volume_name: return "vol name";
        case at_volume_information: return "vol info";
        case at_index_root: return "indx root";
        case at_index_allocation: return "indx alloc";
        case at_bitmap: return "bitmap";
        case at_reparse_point: return "reparse point";
        case at_ea_information: return "extended attribs info";
        case at_ea: return "extended attribs";
        case at_property_set: return "property set";
        case at_logged_utility_stream: return "logged stream";
        case at_standard_information:
        case at_attribute_list:
        case at_file_name: return "";
        default: return "unk";
    }
}

bool known_type(std::uint32_t type) {
    return type >= at_standard_information && type <= at_logged_utility_stream && (type & 0x0F) == 0;
}

catalogue_row make_row(const attr_header& h, std::string_view label, std::uint64_t holder) {
    catalogue_row row;
    row.name = h.name;
    row.label = label;
    auto rec = h.attr.span();
    row.record_copy.assign(rec.begin(), rec.end());
    row.type = h.type;
    row.record_length = h.length;
    row.non_resident = h.non_resident;
    row.name_length = h.name_length;
    row.name_offset = h.name_offset;
    row.flags = h.flags;
    row.attr_id = h.id;
    row.holder_entry = holder;
    if (h.non_resident) {
        row.start_vcn = h.attr.u64(0x10);
        row.last_vcn = h.attr.u64(0x18);
        row.runlist_offset = h.attr.u16(0x20);
        row.compression_unit = h.attr.u16(0x22);
        row.allocated_size = h.attr.u64(0x28);
        row.data_size = h.attr.u64(0x30);
        row.initialized_size = h.attr.u64(0x38);
        decode_compact_runs(h.attr, row.runs);
    } else {
        row.value_length = h.value_length;
        row.value_offset = h.value_offset;
    }
    return row;
}

void keep_value(catalogue_row& row, const attr_header& h) {
    auto v = h.value.span();
    row.value.assign(v.begin(), v.end());
}

// A further fragment of an attribute already catalogued (held in an extension
// record) continues its run list; anything else gets a row of its own.
void add_or_extend(mft_entry_info& entry, attr_key key, const attr_header& h, std::string_view label,
                   bool keep_content, std::uint64_t holder) {
    if (!h.non_resident && keep_content) {
        catalogue_row row = make_row(h, label, holder);
        keep_value(row, h);
        entry.catalogue.insert_or_assign(key, std::move(row));
        return;
    }
    auto it = entry.catalogue.find(key);
    if (it != entry.catalogue.end()) {
        if (h.non_resident) {
            std::vector<compact_run> more;
            decode_compact_runs(h.attr, more);
            it->second.runs.insert(it->second.runs.end(), more.begin(), more.end());
        }
        return;
    }
    entry.catalogue.emplace(key, make_row(h, label, holder));
}

void decode_data(mft_entry_info& entry, const mft_entries_ctx& ctx, attr_key key, const attr_header& h,
                 bool keep_content, std::uint64_t holder) {
    const bool named = !h.name.empty();
    const bool zone_wanted = named && ctx.zone_info && h.name == u"Zone.Identifier";
    if (!named) entry.has_unnamed_data = true;

    if (!named && h.non_resident) {
        for (auto& [k, row] : entry.catalogue) {
            if (row.is_data && !row.is_ads && row.non_resident && k != key) {
                // Continuation of the unnamed stream under another attribute id.
                std::vector<compact_run> more;
                decode_compact_runs(h.attr, more);
                row.runs.insert(row.runs.end(), more.begin(), more.end());
                return;
            }
        }
    }
    auto it = entry.catalogue.find(key);
    if (it != entry.catalogue.end() && h.non_resident) {
        std::vector<compact_run> more;
        decode_compact_runs(h.attr, more);
        it->second.runs.insert(it->second.runs.end(), more.begin(), more.end());
        return;
    }
    catalogue_row row = make_row(h, named ? std::string_view("ads") : std::string_view("unnamed data"), holder);
    row.is_data = true;
    row.is_ads = named;
    if (!h.non_resident && (keep_content || zone_wanted)) keep_value(row, h);
    if (zone_wanted && !h.non_resident) {
        auto v = h.value.span();
        entry.zone_texts.emplace_back(v.begin(), v.end());
    }
    entry.catalogue.insert_or_assign(key, std::move(row));
}

}  // namespace

decode_result decode_attribute(mft_entry_info& entry, const mft_entries_ctx& ctx, std::uint64_t entry_number,
                               std::span<const std::uint8_t> record, std::size_t offset, bool keep_content) {
    decode_result result;
    kavo::binary_data rec(record);
    if (rec.empty()) return result;
    attr_header h;
    h.type = rec.u32(offset);
    h.length = rec.u32(offset + 0x04);
    if (h.length == 0 || !rec.has(offset, h.length)) return result;
    h.attr = rec.sub(offset, h.length);
    h.non_resident = h.attr.u8(0x08);
    h.name_length = h.attr.u8(0x09);
    h.name_offset = h.attr.u16(0x0A);
    h.flags = h.attr.u16(0x0C);
    h.id = h.attr.u16(0x0E);
    if (h.name_offset && h.name_length) h.name = rec.utf16(offset + h.name_offset, h.name_length);
    if (!h.non_resident) {
        h.value_length = h.attr.u32(0x10);
        h.value_offset = h.attr.u16(0x14);
        if (h.value_offset && h.value_length) h.value = h.attr.sub(h.value_offset, h.value_length);
    }
    result.ok = true;
    ++entry.attribute_count;

    const bool known = known_type(h.type);
    const attr_key key = known ? make_attr_key(h.type, h.id)
                               : ((static_cast<std::uint64_t>(h.id) << 48) | unknown_attr_type);
    const std::uint64_t holder = entry_number;
    const bool resident_value = !h.non_resident && !h.value.empty();

    switch (known ? h.type : 0) {
        case at_standard_information:
            if (resident_value) entry.standard_infos.emplace(key, read_standard_info(h.value));
            break;
        case at_attribute_list:
            result.is_attribute_list = true;
            break;
        case at_file_name:
            if (resident_value) {
                file_name_info fn;
                if (read_file_name(h.value, ctx.reference_time, fn)) {
                    fn.attr_id = h.id;
                    fn.holder_entry = holder;
                    // Attribute ids repeat across extension records: a file with many hard
                    // links would lose names to a key already taken, so take the next free one.
                    attr_key name_key = key;
                    for (std::uint32_t bump = 1; entry.file_names.count(name_key) && bump <= 0xFFFF; ++bump)
                        name_key = make_attr_key(at_file_name, static_cast<std::uint16_t>(h.id + bump));
                    if (fn.name_space == ns_posix || (fn.name_space & 1)) entry.path_names.emplace(name_key, fn);
                    entry.file_names.emplace(name_key, std::move(fn));
                }
            }
            break;
        case at_object_id:
            if (!h.non_resident && h.value_offset && h.value_length >= 16 && !h.value.empty()) {
                object_id_info o = read_object_id(h.value);
                catalogue_row row = make_row(h, label_for(h.type), holder);
                row.text = o.text;
                entry.catalogue.insert_or_assign(key, std::move(row));
                entry.object_ids.insert_or_assign(key, std::move(o));
            }
            break;
        case at_security_descriptor:
            if (!h.non_resident) {
                catalogue_row row = make_row(h, label_for(h.type), holder);
                keep_value(row, h);
                entry.catalogue.insert_or_assign(key, std::move(row));
            } else {
                add_or_extend(entry, key, h, label_for(h.type), keep_content, holder);
            }
            break;
        case at_volume_name: {
            entry.volume_names.insert_or_assign(key, h.name);
            catalogue_row row = make_row(h, label_for(h.type), holder);
            std::u16string text = !h.name.empty() ? h.name : h.value.utf16(0, h.value.size() / 2);
            row.text = uni::to_utf8(text);
            entry.catalogue.insert_or_assign(key, std::move(row));
            break;
        }
        case at_volume_information:
            if (resident_value) {
                volume_info vi = read_volume_info(h.value);
                catalogue_row row = make_row(h, label_for(h.type), holder);
                row.text = vi.text;
                entry.catalogue.insert_or_assign(key, std::move(row));
                entry.volume_infos.insert_or_assign(key, std::move(vi));
            }
            break;
        case at_data:
            decode_data(entry, ctx, key, h, keep_content, holder);
            break;
        case at_index_root:
            if (resident_value) {
                index_root_info ir;
                ir.indexed_type = h.value.u32(0x00);
                ir.collation_rule = h.value.u32(0x04);
                ir.index_record_size = h.value.u32(0x08);
                ir.clusters_per_index_record = h.value.u8(0x0C);
                entry.index_roots.insert_or_assign(key, ir);
            }
            add_or_extend(entry, key, h, label_for(h.type), keep_content, holder);
            break;
        case at_reparse_point: {
            reparse_info rp;
            if (resident_value && read_reparse(h.value, rp)) {
                catalogue_row row = make_row(h, label_for(h.type), holder);
                row.text = uni::to_utf8(rp.target);
                entry.catalogue.insert_or_assign(key, std::move(row));
                entry.reparse_points.insert_or_assign(key, std::move(rp));
            } else {
                add_or_extend(entry, key, h, label_for(h.type), keep_content, holder);
            }
            break;
        }
        default:
            add_or_extend(entry, key, h, label_for(known ? h.type : 0), keep_content, holder);
            break;
    }
    return result;
}

bool check_times(mft_entry_info& entry) {
    auto fail = [&](std::string note) {
        entry.time_note = std::move(note);
        entry.time_anomaly = true;
        return false;
    };
    const standard_info* si = entry.standard();
    if (!si && !entry.is_extension) return fail("si:time absent");
    if (entry.file_names.empty()) return fail("fn:time absent");
    if (si && si->is_null) return fail("si:time " + si->note);
    for (const auto& [key, fn] : entry.file_names) {
        if (fn.anomaly) return fail("fn:time " + fn.note);
        if (fn.is_dos) {
            for (const auto& [k2, other] : entry.file_names) {
                if (other.is_dos || ref_entry(other.parent_ref) != ref_entry(fn.parent_ref)) continue;
                if (other.accessed != fn.accessed) return fail("fnSL:time diff");
                break;
            }
        }
        if (si && si->created + one_day_ticks < fn.created && si->mft_changed + one_day_ticks < fn.mft_changed)
            return fail("**:time warning");
    }
    return true;
}

}  // namespace skelvar
