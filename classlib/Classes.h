// Objects, component ownership, events, string lists and file streams.
#pragma once

#include "classlib/SysUtils.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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

// An ordered list of byte strings.
class TStringList : public TPersistent {
 public:
  int Add(const std::string& s);
  void Clear() { items_.clear(); }
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

 private:
  std::vector<std::string> items_;
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
