#include "ntfs/attribute_decoder.h"

#include <algorithm>
#include <iterator>
#include <tuple>

#include "ntfs/security_descriptor.h"
#include "support/binary_data.h"
#include "support/utf8.h"

namespace skelvar {

namespace {

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

// Attribute ids repeat across extension records: a file with many hard links
// would lose names to a key already taken, so a later name takes the next free
// id after its own. The names sit in id order, so the search steps along them
// and ends within as many steps as there are names.
attr_key free_name_key(const attr_table<file_name_info>& names, std::uint16_t id) {
    auto it = names.find(make_attr_key(at_file_name, id));
    for (std::size_t steps = 0; it != names.end() && steps <= names.size(); ++steps) {
        ++id;
        it = id == 0 ? names.begin() : std::next(it);
        if (it == names.end() || it->first != make_attr_key(at_file_name, id)) break;
    }
    return make_attr_key(at_file_name, id);
}

bool known_type(std::uint32_t type) {
    return type >= at_standard_information && type <= at_logged_utility_stream && (type & 0x0F) == 0;
}

// One attribute as the decoder sees it: the view and its name, read once.
struct attr_header {
    const attribute_view& a;
    std::u16string name;
};

// Runs of one attribute into `out`, as many as the entry may still hold.
void decode_runs(mft_entry_info& entry, const attribute_view& a, std::vector<compact_run>& out) {
    decode_compact_runs(a.bytes, out);
    const std::size_t room = entry.runs_held < max_runs_per_entry ? max_runs_per_entry - entry.runs_held : 0;
    if (out.size() > room) out.resize(room);
    entry.runs_held += out.size();
}

// Fills a fresh row (reused storage) from the attribute.
void fill_row(catalogue_row& row, mft_entry_info& entry, const attr_header& h, std::string_view label,
              std::uint64_t holder) {
    const attribute_view& a = h.a;
    if (!h.name.empty() || !row.name.empty()) row.name = h.name;  // most attributes are unnamed: no call
    row.label = label;
    auto rec = a.bytes.span();
    row.record_copy.assign(rec.begin(), rec.end());
    row.type = a.type;
    row.record_length = a.length;
    row.non_resident = a.non_resident;
    row.name_length = a.name_length;
    row.name_offset = a.name_offset;
    row.flags = a.flags;
    row.attr_id = a.id;
    row.holder_entry = holder;
    if (a.non_resident) {
        row.start_vcn = a.start_vcn;
        row.last_vcn = a.last_vcn;
        row.runlist_offset = a.runlist_offset;
        row.compression_unit = a.compression_unit;
        row.allocated_size = a.allocated_size;
        row.data_size = a.data_size;
        row.initialized_size = a.initialized_size;
        decode_runs(entry, a, row.runs);
        if (a.start_vcn != 0) entry.partial_rows = true;
    } else {
        row.value_length = a.value_length;
        row.value_offset = a.value_offset;
    }
}

// The row under `key`, filled afresh from the attribute (what was there is replaced).
catalogue_row& put_row(mft_entry_info& entry, attr_key key, const attr_header& h, std::string_view label,
                       std::uint64_t holder) {
    catalogue_row& row = entry.catalogue.assign(key);
    fill_row(row, entry, h, label, holder);
    return row;
}

void keep_value(catalogue_row& row, const attr_header& h) {
    auto v = h.a.value.span();
    row.value.assign(v.begin(), v.end());
}

bool same_attribute(const catalogue_row& row, const attr_header& h) {
    return row.type == h.a.type && row.name == h.name;
}

// Attribute ids restart in every extension record: a new row whose key another
// attribute holds takes the next free id. Rows are capped, so the search is bounded.
attr_key row_key(mft_entry_info& entry, attr_key key, const attr_header& h) {
    auto it = entry.catalogue.find(key);
    if (it == entry.catalogue.end() || same_attribute(it->second, h)) return key;
    const attr_key asked = key;
    // Many pieces asking for the same key would each step over the same taken ones again.
    if (entry.row_search_found != 0 && entry.row_search_from == asked) key = entry.row_search_found;
    for (std::size_t steps = 0; entry.catalogue.count(key) && steps <= entry.catalogue.size(); ++steps)
        key = make_attr_key(0, static_cast<std::uint16_t>(key_id(key) + 1)) | key_type(key);
    entry.row_search_from = asked;
    entry.row_search_found = key;
    return key;
}

// put_row under row_key's key, in one search when the key is free or already the
// attribute's own, as it is but for ids repeated across extension records.
catalogue_row& put_own_row(mft_entry_info& entry, attr_key key, const attr_header& h, std::string_view label,
                           std::uint64_t holder) {
    auto [at, added] = entry.catalogue.try_emplace(key);
    if (!added && !same_attribute(at->second, h)) return put_row(entry, row_key(entry, key, h), h, label, holder);
    if (!added) reset_for_reuse(at->second);
    fill_row(at->second, entry, h, label, holder);
    return at->second;
}

// The row a further piece of a non-resident attribute continues: the one under
// its own key, else (with `search`) the non-resident row of the same type and name.
catalogue_row* piece_row(mft_entry_info& entry, attr_key key, const attr_header& h, bool search) {
    if (auto it = entry.catalogue.find(key); it != entry.catalogue.end() && same_attribute(it->second, h))
        return &it->second;
    if (!search) return nullptr;
    for (auto& [k, row] : entry.catalogue)
        if (row.non_resident && row.type == h.a.type && row.name == h.name) return &row;
    return nullptr;
}

// Pieces of an attribute split over records (held in extension records) make
// one run list in VCN order; the piece that starts at VCN 0 carries the sizes.
void merge_piece(mft_entry_info& entry, catalogue_row& row, const attr_header& h) {
    const attribute_view& a = h.a;
    std::vector<compact_run> more;
    decode_runs(entry, a, more);
    const auto at = std::upper_bound(row.runs.begin(), row.runs.end(), a.start_vcn,
                                     [](std::uint64_t vcn, const compact_run& r) { return vcn < r.vcn; });
    row.runs.insert(at, more.begin(), more.end());
    if (a.start_vcn == 0 && row.start_vcn != 0) {
        row.start_vcn = 0;
        row.flags = a.flags;
        row.compression_unit = a.compression_unit;
        row.allocated_size = a.allocated_size;
        row.data_size = a.data_size;
        row.initialized_size = a.initialized_size;
    }
    row.last_vcn = std::max(row.last_vcn, a.last_vcn);
}

// A piece that does not start its attribute, or any piece while rows wait for their first one.
bool continues(const mft_entry_info& entry, const attribute_view& a) { return a.start_vcn != 0 || entry.partial_rows; }

// A further fragment of an attribute already catalogued continues its run list;
// anything else gets a row of its own.
void add_or_extend(mft_entry_info& entry, attr_key key, const attr_header& h, std::string_view label,
                   bool keep_content, std::uint64_t holder) {
    if (entry.catalogue.size() >= max_rows_per_entry) return;
    if (!h.a.non_resident && keep_content) {
        keep_value(put_own_row(entry, key, h, label, holder), h);
        return;
    }
    if (h.a.non_resident) {
        if (catalogue_row* row = piece_row(entry, key, h, continues(entry, h.a))) {
            merge_piece(entry, *row, h);
            return;
        }
    }
    auto [at, added] = entry.catalogue.try_emplace(key);
    if (!added && !same_attribute(at->second, h)) std::tie(at, added) = entry.catalogue.try_emplace(row_key(entry, key, h));
    if (added) fill_row(at->second, entry, h, label, holder);
}

void decode_data(mft_entry_info& entry, const decode_settings& settings, attr_key key, const attr_header& h,
                 bool keep_content, std::uint64_t holder) {
    const bool named = !h.name.empty();
    const bool zone_wanted = named && settings.keep_zone_identifier && h.name == u"Zone.Identifier";
    if (!named) entry.has_unnamed_data = true;

    // The unnamed stream met again under another attribute id is always its continuation.
    if (h.a.non_resident) {
        if (catalogue_row* row = piece_row(entry, key, h, !named || continues(entry, h.a))) {
            merge_piece(entry, *row, h);
            return;
        }
    }
    if (entry.catalogue.size() >= max_rows_per_entry) return;
    catalogue_row& row = put_own_row(entry, key, h,
                                     named ? std::string_view("ads") : std::string_view("unnamed data"), holder);
    row.is_data = true;
    row.is_ads = named;
    if (!h.a.non_resident && (keep_content || zone_wanted)) keep_value(row, h);
    if (zone_wanted && !h.a.non_resident) {
        auto v = h.a.value.span();
        entry.zone_texts.emplace_back(v.begin(), v.end());
    }
}

}  // namespace

decode_result decode_attribute(mft_entry_info& entry, const attribute_view& attr, const decode_settings& settings,
                               std::uint64_t holder, bool keep_content) {
    decode_result result;
    // Sizes and offsets cut off by the attribute's end would read as real zeros.
    if (attr.header_truncated) return result;
    result.ok = true;
    ++entry.attribute_count;

    const bool known = known_type(attr.type);
    const attr_key key = known ? make_attr_key(attr.type, attr.id)
                               : ((static_cast<std::uint64_t>(attr.id) << 48) | unknown_attr_type);
    const kavo::binary_data& value = attr.value;
    const bool resident_value = !attr.non_resident && !value.empty();

    // The attributes every record holds need no name: they are done before it is read.
    switch (known ? attr.type : 0) {
        case at_standard_information:
            if (resident_value)
                if (auto [at, added] = entry.standard_infos.try_emplace(key); added)
                    read_standard_information(value, at->second);
            return result;
        case at_attribute_list:
            result.is_attribute_list = true;
            return result;
        case at_file_name:
            if (resident_value && entry.file_names.size() < max_names_per_entry) {
                // The attribute's own id is nearly always free: one search then.
                attr_key name_key = make_attr_key(at_file_name, attr.id);
                auto [placed, fresh] = entry.file_names.try_emplace(name_key);
                if (!fresh) {
                    name_key = free_name_key(entry.file_names, attr.id);
                    placed = entry.file_names.try_emplace(name_key).first;
                }
                file_name_info& fn = placed->second;
                if (!read_file_name(value, settings.reference_time, fn)) {
                    entry.file_names.erase(placed);
                    return result;
                }
                fn.attr_id = attr.id;
                fn.holder_entry = holder;
                fn.indexed = (attr.bytes.u8(0x16) & 1) != 0;
                if (fn.name_space == ns_posix || (fn.name_space & 1))
                    if (auto [at, added] = entry.path_names.try_emplace(name_key); added) at->second.parent_ref = fn.parent_ref;
            }
            return result;
        default:
            break;
    }

    const attr_header h{attr, attr.name()};
    switch (known ? attr.type : 0) {
        case at_object_id:
            if (!attr.non_resident && attr.value_offset && attr.value_length >= 16 && !value.empty()) {
                object_id_info o = read_object_id(value);
                put_row(entry, key, h, label_for(attr.type), holder).text = o.text;
                entry.object_ids.insert_or_assign(key, std::move(o));
            }
            break;
        case at_security_descriptor:
            if (!h.a.non_resident) {
                catalogue_row& row = put_row(entry, key, h, label_for(attr.type), holder);
                // The row's record copy holds the value already: a second copy only when contents are kept.
                if (keep_content) keep_value(row, h);
                // The text block is for the record dump; the walks only need the bytes.
                if (keep_content || settings.render_descriptors) row.text = render_descriptor(value.span());
            } else {
                add_or_extend(entry, key, h, label_for(attr.type), keep_content, holder);
            }
            break;
        case at_volume_name: {
            entry.volume_names.insert_or_assign(key, h.name);
            std::u16string text = !h.name.empty() ? h.name : read_volume_name(value);
            put_row(entry, key, h, label_for(attr.type), holder).text = uni::to_utf8(text);
            break;
        }
        case at_volume_information:
            if (auto vi = resident_value ? read_volume_information(value) : std::nullopt) {
                put_row(entry, key, h, label_for(attr.type), holder).text = vi->text;
                entry.volume_infos.insert_or_assign(key, std::move(*vi));
            }
            break;
        case at_data:
            decode_data(entry, settings, key, h, keep_content, holder);
            break;
        case at_index_root:
            if (resident_value) {
                index_root_info ir;
                ir.indexed_type = value.u32(0x00);
                ir.collation_rule = value.u32(0x04);
                ir.index_record_size = value.u32(0x08);
                ir.clusters_per_index_record = value.u8(0x0C);
                entry.index_roots.insert_or_assign(key, ir);
            }
            add_or_extend(entry, key, h, label_for(attr.type), keep_content, holder);
            break;
        case at_reparse_point: {
            reparse_info rp;
            if (resident_value && read_reparse_point(value, rp)) {
                put_row(entry, key, h, label_for(attr.type), holder).text = uni::to_utf8(rp.target);
                entry.reparse_points.insert_or_assign(key, std::move(rp));
            } else {
                add_or_extend(entry, key, h, label_for(attr.type), keep_content, holder);
            }
            break;
        }
        default:
            add_or_extend(entry, key, h, label_for(known ? attr.type : 0), keep_content, holder);
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
