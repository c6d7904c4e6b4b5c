#include "classlib/Classes.h"

#include "platform/PrivateFile.h"
#include "platform/Win32.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#if defined(__GNUC__)
#include <cxxabi.h>
#endif

std::string TObject::ClassName() const {
  const char* raw = typeid(*this).name();
#if defined(__GNUC__)
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(raw, nullptr, nullptr, &status), std::free);
  if (status == 0 && demangled) return demangled.get();
  return raw;
#else
  std::string name = raw;
  for (const char* prefix : {"class ", "struct "})
    if (name.rfind(prefix, 0) == 0) return name.substr(std::char_traits<char>::length(prefix));
  return name;
#endif
}

void TPersistent::Assign(const TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  throw EConvertError(Format("Cannot assign a nil to a %s", ClassName().c_str()));
}

void TPersistent::AssignTo(TPersistent* dest) const {
  throw EConvertError(Format("Cannot assign a %s to a %s", ClassName().c_str(), dest->ClassName().c_str()));
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->Insert(this);
}

TComponent::~TComponent() {
  SetStateFlag(TComponentStateFlag::csDestroying, true);
  DestroyComponents();
  if (owner_) owner_->Remove(this);
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* child = components_.back();
    components_.pop_back();
    child->owner_ = nullptr;
    delete child;
  }
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) throw EListError(Format("List index out of bounds (%d)", index));
  return components_[static_cast<std::size_t>(index)];
}

void TComponent::BeginLoading() {
  SetStateFlag(TComponentStateFlag::csLoading, true);
  for (TComponent* c : components_) c->SetStateFlag(TComponentStateFlag::csLoading, true);
}

void TComponent::EndLoading() {
  for (TComponent* c : components_) c->SetStateFlag(TComponentStateFlag::csLoading, false);
  SetStateFlag(TComponentStateFlag::csLoading, false);
  for (TComponent* c : components_) c->Loaded();
  Loaded();
}

void TComponent::SetDesigning(bool value) {
  SetStateFlag(TComponentStateFlag::csDesigning, value);
  for (TComponent* c : components_) c->SetDesigning(value);
}

void TComponent::SetStateFlag(TComponentStateFlag flag, bool on) {
  if (on)
    state_ |= static_cast<std::uint8_t>(flag);
  else
    state_ &= static_cast<std::uint8_t>(~static_cast<std::uint8_t>(flag));
}

void TComponent::Insert(TComponent* child) {
  components_.push_back(child);
  child->owner_ = this;
  if (Designing()) child->SetDesigning(true);
  // A component created while its owner's stored settings are applied is
  // loading too, until the owner's EndLoading.
  if (Loading()) child->SetStateFlag(TComponentStateFlag::csLoading, true);
}

void TComponent::Remove(TComponent* child) {
  auto it = std::find(components_.begin(), components_.end(), child);
  if (it != components_.end()) components_.erase(it);
  child->owner_ = nullptr;
}

void TStringList::Changed() {
  if (OnChange) OnChange(this);
}

int TStringList::Add(const std::string& s) {
  items_.push_back(s);
  Changed();
  return Count() - 1;
}

void TStringList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  Changed();
}

void TStringList::Delete(int index) {
  Strings(index);
  items_.erase(items_.begin() + index);
  Changed();
}

const std::string& TStringList::Strings(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  return items_[static_cast<std::size_t>(index)];
}

void TStringList::SetStrings(int index, const std::string& s) {
  Strings(index);
  items_[static_cast<std::size_t>(index)] = s;
  Changed();
}

int TStringList::IndexOf(const std::string& s) const {
  auto it = std::find(items_.begin(), items_.end(), s);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

std::string TStringList::Text() const {
  std::string text;
  for (const std::string& s : items_) text += s + "\r\n";
  return text;
}

void TStringList::SetText(const std::string& text) {
  items_.clear();
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\r' || text[i] == '\n') {
      items_.push_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) items_.push_back(text.substr(start));
  Changed();
}

void TStringList::Assign(const TPersistent* source) {
  if (auto* list = dynamic_cast<const TStringList*>(source)) {
    items_ = list->items_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

int TCollectionItem::Index() const {
  if (!collection_) return -1;
  const auto& items = collection_->items_;
  auto it = std::find(items.begin(), items.end(), this);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

std::string TCollectionItem::DisplayName() const { return displayName_.empty() ? ClassName() : displayName_; }

void TCollectionItem::Changed(bool allItems) {
  if (collection_ && Index() >= 0) collection_->Changed(allItems ? nullptr : this);
}

TCollection::~TCollection() {
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) delete *it;
}

TCollectionItem* TCollection::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  return items_[static_cast<std::size_t>(index)];
}

TCollectionItem* TCollection::Add() {
  std::unique_ptr<TCollectionItem> item(NewItem());
  items_.push_back(item.get());
  TCollectionItem* added = item.release();
  Changed(nullptr);
  return added;
}

void TCollection::Delete(int index) {
  TCollectionItem* item = Items(index);
  items_.erase(items_.begin() + index);
  delete item;
  Changed(nullptr);
}

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  while (!items_.empty()) {
    delete items_.back();
    items_.pop_back();
  }
  EndUpdate();
}

void TCollection::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed(nullptr);
}

void TCollection::Changed(TCollectionItem* item) {
  if (updateCount_ == 0) Update(item);
}

void TCollection::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TCollection*>(source);
  if (!other || typeid(*other) != typeid(*this)) {
    TPersistent::Assign(source);
    return;
  }
  BeginUpdate();
  try {
    Clear();
    for (const TCollectionItem* item : other->items_) Add()->Assign(item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

namespace {

HANDLE asHandle(void* h) { return static_cast<HANDLE>(h); }

}  // namespace

TFileStream::TFileStream(const std::string& fileName, Mode mode) : fileName_(fileName) {
  HANDLE h = INVALID_HANDLE_VALUE;
  switch (mode) {
    case Mode::Create:
    case Mode::CreatePrivate:
      h = mode == Mode::CreatePrivate ? CreatePrivateFile(fileName.c_str())
                                      : CreateFileA(fileName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE)
        throw EFCreateError(Format("Cannot create file \"%s\". %s", fileName.c_str(),
                                   SysErrorMessage(GetLastError()).c_str()));
      break;
    case Mode::Append:
      h = CreateFileA(fileName.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE)
        throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(),
                                 SysErrorMessage(GetLastError()).c_str()));
      break;
    case Mode::OpenRead:
    case Mode::OpenWrite:
      h = CreateFileA(fileName.c_str(), mode == Mode::OpenRead ? GENERIC_READ : GENERIC_WRITE,
                      mode == Mode::OpenRead ? FILE_SHARE_READ : 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                      nullptr);
      if (h == INVALID_HANDLE_VALUE)
        throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(),
                                 SysErrorMessage(GetLastError()).c_str()));
      break;
  }
  handle_ = h;
}

TFileStream::~TFileStream() { CloseHandle(asHandle(handle_)); }

long TFileStream::Read(void* buffer, long count) {
  DWORD got = 0;
  if (count <= 0) return 0;
  if (!ReadFile(asHandle(handle_), buffer, static_cast<DWORD>(count), &got, nullptr))
    throw EReadError("Stream read error");
  return static_cast<long>(got);
}

void TFileStream::WriteBuffer(const void* buffer, long count) {
  if (count <= 0) return;
  DWORD written = 0;
  if (!WriteFile(asHandle(handle_), buffer, static_cast<DWORD>(count), &written, nullptr) ||
      written != static_cast<DWORD>(count))
    throw EWriteError("Stream write error");
}

std::int64_t TFileStream::Size() const {
  DWORD high = 0;
  const DWORD low = GetFileSize(asHandle(handle_), &high);
  return (static_cast<std::int64_t>(high) << 32) | low;
}

std::string TFileStream::ReadAll() {
  std::string data;
  char chunk[65536];
  for (;;) {
    const long n = Read(chunk, sizeof chunk);
    if (n <= 0) break;
    data.append(chunk, static_cast<std::size_t>(n));
  }
  return data;
}

void PutInPlace(const std::string& partial, const std::string& local) {
  if (RenameFileReplacing(partial, local)) return;
  const std::string reason = SysErrorMessage(GetLastError());
  DeleteFile(partial);
  throw EFCreateError("Cannot replace \"" + local + "\". " + reason);
}

void WriteFileDurably(const std::string& path, const std::string& temporary, const std::string& text) {
  try {
    TFileStream(temporary, TFileStream::Mode::Create).WriteBuffer(text.data(), static_cast<long>(text.size()));
  } catch (...) {
    DeleteFile(temporary);
    throw;
  }
  PutInPlace(temporary, path);
}
