// Extraction of a package's zip archive into staging. The archive comes from the update
// service and is checked against the signed package, but its entries are still treated as
// hostile: names are validated like any update path, links, encryption and unknown methods
// are refused, and sizes and counts are bounded before anything is written.
#include <zip.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "common/encoding.h"
#include "common/failure.h"
#include "install/file_operations.h"
#include "install/local_path.h"
#include "install/path_rules.h"
#include "update/package_preparation.h"
#include "update/package_zip_files.h"

namespace zyr::update {
namespace {

constexpr std::uint64_t max_entries = 40'001;
constexpr std::size_t max_name_bytes = 2048;
constexpr std::uint64_t max_entry_bytes = 8'589'934'592;     // 8 GiB
constexpr std::uint64_t max_archive_bytes = 17'179'869'184;  // 16 GiB uncompressed
constexpr std::size_t extract_piece_bytes = 262'144;
// libzip takes no allocator, so its memory is bounded before it opens the archive: it keeps
// the central directory's names and fields plus a record per entry, estimated generously.
constexpr std::uint64_t zip_memory_budget = 67'108'864;
constexpr std::uint64_t zip_memory_per_entry = 512;

struct ZipSourceFree {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};
struct ZipClose {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileClose {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};

[[noreturn]] void invalid_metadata() { throw_failure(Text::InvalidMetadata); }

std::uint64_t little_endian(const std::uint8_t* bytes, int count) {
  std::uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

// Reads `count` bytes at `offset` from the end (negative) or start of the open source.
bool read_at(zip_source_t* source, std::int64_t offset, int whence, std::uint8_t* out,
             std::uint64_t count) {
  if (zip_source_seek(source, offset, whence) != 0) return false;
  return zip_source_read(source, out, count) == static_cast<zip_int64_t>(count);
}

struct CentralDirectorySize {
  std::uint64_t entries = 0;
  std::uint64_t bytes = 0;
};

// The entry count and central directory size the end records declare, or nothing when the
// records cannot be found (libzip then refuses the archive itself).
std::optional<CentralDirectorySize> declared_central_directory(zip_source_t* source) {
  if (zip_source_open(source) != 0) return std::nullopt;
  struct Closer {
    zip_source_t* source;
    ~Closer() { zip_source_close(source); }
  } closer{source};

  if (zip_source_seek(source, 0, SEEK_END) != 0) return std::nullopt;
  const zip_int64_t size = zip_source_tell(source);
  constexpr std::int64_t end_record_bytes = 22;
  if (size < end_record_bytes) return std::nullopt;
  const std::int64_t tail_bytes = std::min<std::int64_t>(size, end_record_bytes + 65'535);
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(tail_bytes));
  if (!read_at(source, -tail_bytes, SEEK_END, tail.data(), tail.size())) return std::nullopt;

  for (std::int64_t at = tail_bytes - end_record_bytes; at >= 0; --at) {
    const std::uint8_t* record = tail.data() + at;
    if (little_endian(record, 4) != 0x06054b50) continue;
    CentralDirectorySize declared{little_endian(record + 10, 2), little_endian(record + 12, 4)};
    const bool maybe_zip64 = declared.entries == 0xFFFF || declared.bytes == 0xFFFFFFFF;
    const std::int64_t locator_at = at - 20;
    if (maybe_zip64 && locator_at >= 0 &&
        little_endian(tail.data() + locator_at, 4) == 0x07064b50) {
      const std::uint64_t zip64_record_at = little_endian(tail.data() + locator_at + 8, 8);
      std::array<std::uint8_t, 56> zip64{};
      if (zip64_record_at > static_cast<std::uint64_t>(size) ||
          !read_at(source, static_cast<std::int64_t>(zip64_record_at), SEEK_SET, zip64.data(),
                   zip64.size()) ||
          little_endian(zip64.data(), 4) != 0x06064b50) {
        return std::nullopt;
      }
      declared = {little_endian(zip64.data() + 32, 8), little_endian(zip64.data() + 40, 8)};
    }
    return declared;
  }
  return std::nullopt;
}

struct ArchiveEntry {
  zip_uint64_t index = 0;
  std::uint64_t size = 0;
  bool directory = false;
};

void extract_entry(zip_t* archive, const ArchiveEntry& entry, const FileEntry& listed,
                   const std::wstring& target, const Context& context) {
  std::unique_ptr<NewStagedFile> output = create_new_staged_file(target);
  if (context.progress) context.progress(Text::ExtractingUpdate, 0, 0, to_utf16(listed.path));

  std::unique_ptr<zip_file_t, ZipFileClose> input(zip_fopen_index(archive, entry.index, 0));
  if (!input) throw_failure(Text::DigestMismatch);
  std::vector<std::uint8_t> piece(extract_piece_bytes);
  std::uint64_t written = 0;
  for (;;) {
    throw_if_cancelled(context);
    // libzip checks the CRC when the data ends; a failed read covers that too.
    const zip_int64_t read = zip_fread(input.get(), piece.data(), piece.size());
    if (read < 0) throw_failure(Text::DigestMismatch);
    if (read == 0) break;
    if (static_cast<std::uint64_t>(read) > listed.size_bytes - written) {
      throw_failure(Text::DigestMismatch);
    }
    output->write(std::span(piece.data(), static_cast<std::size_t>(read)));
    written += static_cast<std::uint64_t>(read);
  }
  if (written != listed.size_bytes) throw_failure(Text::DigestMismatch);
  output->finish();
}

}  // namespace

void extract_package_zip(const Package& package, const std::wstring& archive_path,
                         const std::wstring& staging_directory, const Context& context) {
  std::FILE* file = open_archive_denying_writes(archive_path);
  zip_error_t error;
  zip_error_init(&error);
  std::unique_ptr<zip_source_t, ZipSourceFree> source(zip_source_filep_create(file, 0, -1, &error));
  zip_error_fini(&error);
  if (!source) {
    std::fclose(file);
    throw_failure(Text::InvalidMetadata, archive_path);
  }

  const std::optional<CentralDirectorySize> declared = declared_central_directory(source.get());
  if (declared &&
      (declared->entries > max_entries ||
       declared->bytes + declared->entries * zip_memory_per_entry > zip_memory_budget)) {
    invalid_metadata();
  }

  zip_error_init(&error);
  std::unique_ptr<zip_t, ZipClose> archive(zip_open_from_source(source.get(), ZIP_RDONLY, &error));
  zip_error_fini(&error);
  if (!archive) throw_failure(Text::InvalidMetadata, archive_path);
  source.release();  // the archive owns it now

  const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
  if (count < 0 || static_cast<std::uint64_t>(count) > max_entries) invalid_metadata();

  std::map<std::wstring, ArchiveEntry> entries;
  std::uint64_t total_bytes = 0;
  for (zip_uint64_t index = 0; index < static_cast<zip_uint64_t>(count); ++index) {
    throw_if_cancelled(context);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive.get(), index, ZIP_FL_ENC_RAW, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE) || !(stat.valid & ZIP_STAT_COMP_METHOD) ||
        !(stat.valid & ZIP_STAT_ENCRYPTION_METHOD) || stat.encryption_method != ZIP_EM_NONE ||
        !zip_compression_method_supported(stat.comp_method, 0)) {
      invalid_metadata();
    }
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive.get(), index, 0, &system, &attributes) != 0) {
      invalid_metadata();
    }
    const bool unix_symbolic_link = (attributes >> 28) == 0xA;
    const bool windows_reparse_point = (attributes & 0x400) != 0;
    if (unix_symbolic_link || windows_reparse_point) invalid_metadata();

    const char* raw_name = zip_get_name(archive.get(), index, ZIP_FL_ENC_RAW);
    if (raw_name == nullptr) throw_failure(Text::UnsafePath);
    std::string name(raw_name);
    if (name.empty() || name.size() > max_name_bytes) throw_failure(Text::UnsafePath);
    const bool directory = name.back() == '/';
    if (directory) name.pop_back();

    validate_update_path(name);
    const auto [where, fresh] =
        entries.try_emplace(fold_case(name), ArchiveEntry{index, stat.size, directory});
    if (!fresh) throw_failure(Text::UnsafePath);

    if (stat.size > max_entry_bytes) invalid_metadata();
    total_bytes += stat.size;
    if (total_bytes > max_archive_bytes) invalid_metadata();
  }

  const FoldedFileIndex listed_files = index_by_folded_path(package.files);
  std::set<std::wstring> extracted;
  for (const auto& [folded, entry] : entries) {
    if (entry.directory) continue;
    const auto listed = listed_files.find(folded);
    if (listed == listed_files.end() || listed->second.operation != "replace" ||
        listed->second.size_bytes != entry.size) {
      invalid_metadata();
    }
    const std::wstring target = resolve_update_path(staging_directory, listed->second.path);
    create_directories_checked(parent_path(target));
    extract_entry(archive.get(), entry, listed->second, target, context);
    extracted.insert(folded);
  }

  for (const auto& [folded, listed] : listed_files) {
    if (listed.operation == "replace" && !extracted.contains(folded)) {
      throw_failure(Text::DigestMismatch);
    }
  }
}

}  // namespace zyr::update
