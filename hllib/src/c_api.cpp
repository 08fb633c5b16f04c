// The C interface's package calls: opening, facts, items, walking and finding, and names.
#include <string>

#include "c_api_support.h"
#include "code_page.h"
#include "vaultpick_version.h"

namespace hl::capi {

// hl_status numbers the library's error codes as they are, so a status passes over unchanged.
constexpr bool sameCode(hl_status c, ErrorCode code) {
  return static_cast<int>(c) == static_cast<int>(code);
}
static_assert(sameCode(HL_OK, ErrorCode::Ok) && sameCode(HL_OPEN_FAILED, ErrorCode::OpenFailed) &&
              sameCode(HL_NOT_A_PACKAGE, ErrorCode::NotAPackage) &&
              sameCode(HL_UNSUPPORTED, ErrorCode::Unsupported) &&
              sameCode(HL_DAMAGED, ErrorCode::Damaged) &&
              sameCode(HL_ITEM_NOT_FOUND, ErrorCode::ItemNotFound) &&
              sameCode(HL_INCOMPLETE, ErrorCode::Incomplete) &&
              sameCode(HL_ENCRYPTED, ErrorCode::Encrypted) &&
              sameCode(HL_UNSAFE_NAME, ErrorCode::UnsafeName) &&
              sameCode(HL_WRITE_FAILED, ErrorCode::WriteFailed) &&
              sameCode(HL_INVALID, ErrorCode::Invalid) && sameCode(HL_IN_USE, ErrorCode::InUse) &&
              sameCode(HL_REFUSED, ErrorCode::Refused) && sameCode(HL_EXISTS, ErrorCode::Exists) &&
              sameCode(HL_NAME_CLASH, ErrorCode::NameClash) &&
              sameCode(HL_UNEXPECTED, ErrorCode::Unexpected));

namespace {
thread_local std::string lastMessage;
thread_local long lastSystemError = 0;
thread_local std::string handedOut;

// A NUL separator would end the handed-out path at the first one.
Status checkSeparator(char separator) {
  if (separator != '\0') return {};
  return {ErrorCode::Invalid, "the separator cannot be the NUL character"};
}
// What hl_open and hl_open_memory share: the package that `open` gives, as a new handle.
template <typename Open, typename Pointer>
hl_status openHandle(Open&& open, hl_package** package, Pointer source) {
  return call(
      "opening the package",
      [&] {
        Status status;
        std::unique_ptr<Package> opened = open(status);
        if (opened) *package = new hl_package{std::move(opened)};
        return status;
      },
      source, package);
}
}  // namespace

hl_status finish(const Status& status) {
  lastMessage = status.message();
  lastSystemError = status.systemError();
  return static_cast<hl_status>(status.code());
}

const char* handOut(std::string text) {
  handedOut = std::move(text);
  return handedOut.c_str();
}

Status packageOf(const hl_package* handle, uint32_t item, const Package*& package) {
  if (!handle || !handle->package) return nullArgument();
  package = handle->package.get();
  if (item >= package->itemCount() && item != kRootItem)
    return {ErrorCode::Invalid, "no item " + std::to_string(item) + " in the package"};
  return {};
}

}  // namespace hl::capi

using namespace hl;
using namespace hl::capi;

extern "C" {

const char* HLLIB_CALL hl_version(void) { return VAULTPICK_VERSION_TEXT; }

int32_t HLLIB_CALL hl_version_number(void) { return HLLIB_VERSION_NUMBER; }

const char* HLLIB_CALL hl_last_message(void) { return lastMessage.c_str(); }

long HLLIB_CALL hl_last_os_error(void) { return lastSystemError; }

hl_status HLLIB_CALL hl_open(const char* path, hl_package** package) {
  return openHandle([&](Status& status) { return Package::open(pathFrom(path), status); }, package,
                    path);
}

hl_status HLLIB_CALL hl_open_memory(const void* data, size_t size, hl_package** package) {
  return openHandle([&](Status& status) { return Package::openMemory(data, size, status); },
                    package, data);
}

void HLLIB_CALL hl_close(hl_package* package) { delete package; }

hl_status HLLIB_CALL hl_set_content_root(hl_package* package, const char* folder) {
  return call(
      "setting the content folder",
      [&] { return package->package->setContentRoot(pathFrom(folder)); }, package, folder);
}

hl_status HLLIB_CALL hl_facts(const hl_package* package, hl_package_facts* facts) {
  return call(
      "reading the package's facts",
      [&] {
        const Package& p = *package->package;
        *facts = {p.type() == PackageType::Gcf ? HL_GCF : HL_NCF,
                  p.formatVersion(),
                  p.blockSize(),
                  p.blockCount(),
                  p.itemCount(),
                  p.fileCount(),
                  static_cast<uint32_t>(p.warnings().size()),
                  p.fileShrank()};
        return Status();
      },
      package, facts);
}

hl_status HLLIB_CALL hl_check(const hl_package* package) {
  return call(
      "checking the package", [&] { return package->package->check(); }, package);
}

hl_status HLLIB_CALL hl_warning(const hl_package* package, uint32_t index, const char** text) {
  return call(
      "reading a warning",
      [&] {
        const std::vector<std::string> warnings = package->package->warnings();
        if (index >= warnings.size()) return Status(ErrorCode::Invalid, "no such warning");
        *text = handOut(warnings[index]);
        return Status();
      },
      package, text);
}

hl_status HLLIB_CALL hl_item_facts(const hl_package* package, uint32_t item, hl_item* facts) {
  return call(
      "reading an item",
      [&] {
        const Package* p = nullptr;
        Status status = packageOf(package, item, p);
        if (!status.ok()) return status;
        bool file = p->isFile(item);
        *facts = {p->parent(item), file, p->isEncrypted(item), file ? p->itemSize(item) : 0};
        return status;
      },
      facts);
}

hl_status HLLIB_CALL hl_file_count_below(const hl_package* package, uint32_t folder,
                                         uint32_t* count) {
  return call(
      "counting a folder's files",
      [&] {
        const Package* p = nullptr;
        Status status = packageOf(package, folder, p);
        return status.ok() ? p->fileCountBelow(folder, *count) : status;
      },
      count);
}

hl_status HLLIB_CALL hl_item_name(const hl_package* package, uint32_t item, const char** name) {
  return call(
      "reading an item's name",
      [&] {
        const Package* p = nullptr;
        Status status = packageOf(package, item, p);
        if (status.ok()) *name = handOut(packageNameToUtf8(p->name(item)));
        return status;
      },
      name);
}

hl_status HLLIB_CALL hl_item_path(const hl_package* package, uint32_t item, char separator,
                                  const char** path) {
  return call(
      "reading an item's path",
      [&] {
        const Package* p = nullptr;
        Status status = checkSeparator(separator);
        if (status.ok()) status = packageOf(package, item, p);
        if (status.ok()) *path = handOut(packageNameToUtf8(p->path(item, separator)));
        return status;
      },
      path);
}

hl_status HLLIB_CALL hl_find(const hl_package* package, const char* path, uint32_t* item) {
  return call(
      "finding an item",
      [&] {
        std::string stored;
        uint32_t found = kNoItem;
        if (utf8ToPackageName(path, stored)) {
          Status status = package->package->find(stored, found);
          if (!status.ok()) return status;
        }
        if (found == kNoItem)
          return Status(ErrorCode::ItemNotFound, std::string("no item '") + path + "'");
        *item = found;
        return Status();
      },
      package, path, item);
}

hl_status HLLIB_CALL hl_walk(const hl_package* package, uint32_t folder, char separator,
                             hl_item_visitor visit, void* user) {
  return call(
      "walking the package",
      [&] {
        const Package* p = nullptr;
        Status status = checkSeparator(separator);
        if (status.ok()) status = packageOf(package, folder, p);
        if (!status.ok()) return status;
        return p->walk(folder, separator, [&](uint32_t item, const std::string& relative) {
          if (visit(user, item, packageNameToUtf8(relative).c_str())) throw Cancelled();
        });
      },
      visit);
}

hl_status HLLIB_CALL hl_name_to_utf8(const char* stored, const char** text) {
  return call(
      "converting a name",
      [&] {
        *text = handOut(packageNameToUtf8(stored));
        return Status();
      },
      stored, text);
}

hl_status HLLIB_CALL hl_name_from_utf8(const char* text, const char** stored) {
  return call(
      "converting a name",
      [&] {
        std::string bytes;
        if (!utf8ToPackageName(text, bytes))
          return Status(ErrorCode::Invalid,
                        std::string("'") + text + "' holds a character the code page cannot spell");
        *stored = handOut(std::move(bytes));
        return Status();
      },
      text, stored);
}

}  // extern "C"
