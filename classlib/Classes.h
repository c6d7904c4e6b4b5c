// Objects, component ownership, events, string lists and file streams.
#pragma once

#include "classlib/SysUtils.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

// A set of the values of an enumeration with at most 32 values, as the
// language's set types: TSet<TFontStyle>{fsBold, fsItalic}.
template <class E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> values) {
    for (E v : values) bits_ |= Bit(v);
  }
  constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TSet& Include(E v) {
    bits_ |= Bit(v);
    return *this;
  }
  constexpr TSet& Exclude(E v) {
    bits_ &= ~Bit(v);
    return *this;
  }
  constexpr TSet operator+(TSet other) const { return FromBits(bits_ | other.bits_); }
  constexpr TSet operator-(TSet other) const { return FromBits(bits_ & ~other.bits_); }
  constexpr TSet operator*(TSet other) const { return FromBits(bits_ & other.bits_); }
  friend constexpr bool operator==(TSet a, TSet b) { return a.bits_ == b.bits_; }

 private:
  static constexpr std::uint32_t Bit(E v) { return std::uint32_t{1} << static_cast<unsigned>(v); }
  static constexpr TSet FromBits(std::uint32_t bits) {
    TSet s;
    s.bits_ = bits;
    return s;
  }
  std::uint32_t bits_ = 0;
};

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  // The class's name as the program declares it ("TFtpClient").
  std::string ClassName() const;
};

// An event slot: an object's method (or any callable), called only when
// assigned. Handlers receive the sender and the event's own arguments;
// by-reference parameters (a "Handled" flag) are passed as references.
template <class... Args>
class TEvent {
 public:
  TEvent() = default;
  TEvent(std::nullptr_t) {}
  template <class C>
  TEvent(C* object, void (C::*method)(Args...))
      : fn_([object, method](Args... args) { (object->*method)(std::forward<Args>(args)...); }) {}
  template <class F, class = std::enable_if_t<std::is_invocable_v<F&, Args...> &&
                                              !std::is_same_v<std::decay_t<F>, TEvent>>>
  TEvent(F f) : fn_(std::move(f)) {}

  bool Assigned() const { return static_cast<bool>(fn_); }
  explicit operator bool() const { return Assigned(); }
  // Calls the handler; the caller checks Assigned() first where the event is
  // optional.
  void operator()(Args... args) const { fn_(std::forward<Args>(args)...); }

 private:
  std::function<void(Args...)> fn_;
};

using TNotifyEvent = TEvent<TObject*>;

// An object that can copy another of its kind.
class TPersistent : public TObject {
 public:
  // Copies source. The default refuses with EConvertError
  // "Cannot assign a <source class> to a <this class>".
  virtual void Assign(const TPersistent* source);

 protected:
  virtual void AssignTo(TPersistent* dest) const;
};

enum class TComponentStateFlag : std::uint8_t {
  csLoading = 1,     // the stored settings are being applied
  csDesigning = 2,   // placed in a form designer, not running
  csDestroying = 4,  // the destructor has started
};

// A component owns the components created with it as owner and frees them,
// last created first, when it is freed itself.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }

  bool InState(TComponentStateFlag flag) const { return (state_ & static_cast<std::uint8_t>(flag)) != 0; }
  bool Loading() const { return InState(TComponentStateFlag::csLoading); }
  bool Designing() const { return InState(TComponentStateFlag::csDesigning); }
  bool Destroying() const { return InState(TComponentStateFlag::csDestroying); }

  // Frees every owned component, last created first.
  void DestroyComponents();

  // Brackets the application of stored settings; Loaded runs at the end.
  void BeginLoading();
  void EndLoading();
  // Marks the component (and what it owns) as placed in a designer.
  void SetDesigning(bool value);

 protected:
  // Called once the stored settings have been applied.
  virtual void Loaded() {}
  void SetStateFlag(TComponentStateFlag flag, bool on);

 private:
  void Insert(TComponent* child);
  void Remove(TComponent* child);

  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::string name_;
  std::uint8_t state_ = 0;
};

// An ordered list of byte strings. OnChange follows every change of the
// lines (setting a line to its own text included).
class TStringList : public TPersistent {
 public:
  int Add(const std::string& s);
  void Clear();
  void Delete(int index);
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError "List index out of bounds (%d)" outside 0 .. Count-1.
  const std::string& Strings(int index) const;
  void SetStrings(int index, const std::string& s);
  const std::string& operator[](int index) const { return Strings(index); }
  int IndexOf(const std::string& s) const;
  // The lines, each followed by CR LF.
  std::string Text() const;
  // Replaces the lines by those of text (split at CR LF, CR or LF).
  void SetText(const std::string& text);
  void Assign(const TPersistent* source) override;

  TNotifyEvent OnChange;

 private:
  void Changed();

  std::vector<std::string> items_;
};

class TCollection;

// An item of a TCollection. Items are created and added by the collection
// (Add), which owns them.
class TCollectionItem : public TPersistent {
 public:
  explicit TCollectionItem(TCollection* collection) : collection_(collection) {}
  TCollection* Collection() const { return collection_; }
  // Position in the collection, 0 .. Count-1 (-1 before it is added).
  int Index() const;
  // The item's name in a designer; the class name unless one was set.
  virtual std::string DisplayName() const;
  void SetDisplayName(const std::string& name) { displayName_ = name; }

 protected:
  // Tells the collection that this item changed (allItems false) or that the
  // change concerns every item (a size that moves the others).
  void Changed(bool allItems);

 private:
  friend class TCollection;
  TCollection* collection_;
  std::string displayName_;
};

// An owned, ordered list of items of one class. Changes reach Update, except
// inside a BeginUpdate/EndUpdate bracket, whose end reports one change of all
// items.
class TCollection : public TPersistent {
 public:
  TCollection() = default;
  ~TCollection() override;

  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError "List index out of bounds (%d)" outside 0 .. Count-1;
  // the collection never grows on access.
  TCollectionItem* Items(int index) const;
  // Creates an item (NewItem), appends it and reports a change of all items.
  TCollectionItem* Add();
  // Raises EListError for a bad index.
  void Delete(int index);
  void Clear();

  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // From a collection of the same class: replaces the items by copies of the
  // source's (item Assign), reporting one change.
  void Assign(const TPersistent* source) override;

 protected:
  virtual TCollectionItem* NewItem() = 0;
  // A change of item, or of all items when item is null.
  virtual void Update(TCollectionItem* item) { (void)item; }
  void Changed(TCollectionItem* item);

 private:
  friend class TCollectionItem;
  std::vector<TCollectionItem*> items_;
  int updateCount_ = 0;
};

// Stream errors.
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// A file opened or created by Windows path.
class TFileStream : public TObject {
 public:
  enum class Mode {
    Create,      // a new file, or an existing one truncated to 0 bytes
    OpenRead,    // an existing file, for reading
    OpenWrite,   // an existing file, for writing
    CreatePrivate,  // a new file, for writing, that only its owner may open; fails when the name exists
    Append,      // an existing file or a new one, each write at its end; others may read, write, rename it
  };
  // Raises EFCreateError 'Cannot create file "<name>". <system text>' or
  // EFOpenError 'Cannot open file "<name>". <system text>'.
  TFileStream(const std::string& fileName, Mode mode);
  ~TFileStream() override;

  const std::string& FileName() const { return fileName_; }
  // Bytes read (fewer only at the end of the file); raises EReadError on a
  // system failure.
  long Read(void* buffer, long count);
  // Writes all bytes or raises EWriteError "Stream write error" (a full disk,
  // for example); what was written stays.
  void WriteBuffer(const void* buffer, long count);
  std::int64_t Size() const;
  // The whole remaining content.
  std::string ReadAll();

 private:
  std::string fileName_;
  void* handle_;
};

// Puts partial in local's place in one step (RenameFileReplacing). On failure
// removes partial, leaves local as it was and raises EFCreateError
// 'Cannot replace "<local>". <system text>'.
void PutInPlace(const std::string& partial, const std::string& local);
// Writes text into path durably: into the file temporary, which is then put
// in path's place (PutInPlace). Raises the file errors; temporary never
// stays.
void WriteFileDurably(const std::string& path, const std::string& temporary, const std::string& text);
