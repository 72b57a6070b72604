// The CPython extension module `veltrane._native`, on the limited API (stable ABI) from
// Python 3.10 on: `tokenize`, `split`, `parse`, `cli` and `version`.
//
// The boundary only: it matches and converts the arguments by hand (the limited API has no
// argument parser for fast calls), runs a body (the JSON bodies live in api/python_json) under
// the face guard and turns what escapes into a Python exception: no C++ exception ever
// reaches the interpreter.
//
// Py_LIMITED_API is defined by the build before Python.h, so a call outside the 3.10 limited
// API does not compile.

#include <Python.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <initializer_list>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "api/analyze_json.hpp"
#include "api/python_json.hpp"
#include "cli/cli.hpp"
#include "syntax/face_guard.hpp"
#include "syntax/stop.hpp"
#include "syntax/tree.hpp"
#include "syntax/version.hpp"

#ifdef VELTRANE_PYTHON_PANIC_PROBE
#include <nlohmann/json.hpp>
#endif

namespace veltrane::python {

namespace {

inline constexpr std::string_view MODULE_VERSION = syntax::VERSION_TEXT;

// A length hint reserves room for at most this many `cli` arguments; the elements are
// read by iteration, so a wrong hint costs nothing but a reallocation.
inline constexpr std::size_t MAX_RESERVED_ARGUMENTS = 256;

// ---------------------------------------------------------------------------------------
// The process-wide module record and PanicException.

// What the import keeps for the whole process (single-phase initialisation: the module is
// made once and handed out again on a re-import). Only touched with the interpreter lock
// held.
struct ModuleRecord {
  std::optional<int64_t> interpreter;
  PyObject* module = nullptr;
  PyObject* panic_type = nullptr;
};

ModuleRecord& module_record() {
  static ModuleRecord record;
  return record;
}

// The PanicException class, made on first use; null with an exception set on failure.
PyObject* panic_type() {
  ModuleRecord& record = module_record();
  if (record.panic_type == nullptr) {
    record.panic_type = PyErr_NewExceptionWithDoc(
        "veltrane._native.PanicException",
        "A broken internal invariant inside veltrane. Derives from BaseException, so that "
        "`except Exception` does not catch it.",
        PyExc_BaseException, nullptr);
  }
  return record.panic_type;
}

// Raises PanicException with the message; a failure to do so ends the process.
void raise_panic(std::string_view message) {
  if (message.empty()) message = syntax::STOP_WITHOUT_MESSAGE;
  PyObject* type = panic_type();
  if (type == nullptr) std::abort();
  PyObject* text =
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
  if (text == nullptr) std::abort();
  PyErr_SetObject(type, text);
  Py_DECREF(text);
}

// What escaped a body, as a Python exception: an exhausted allocator becomes MemoryError;
// broken invariants (the stop, out-of-range slices, a JSON dump of a cut character, anything
// unexpected) become PanicException, with the exception's own text where it has one.
void raise_failure(const syntax::FaceFailure& failure) {
  switch (failure.kind) {
    case syntax::FaceFailureKind::OutOfMemory:
      PyErr_NoMemory();
      return;
    case syntax::FaceFailureKind::Stop:
      raise_panic(failure.message);
      return;
    case syntax::FaceFailureKind::Unexpected:
      raise_panic(failure.detail.empty() ? failure.message : failure.detail);
      return;
  }
  std::abort();
}

// Runs `body` (which returns a new reference or null with an exception set) under the face
// guard, so that no C++ exception leaves it.
template <class Body>
PyObject* guarded(Body&& body) noexcept {
  return syntax::guard_face(std::forward<Body>(body),
                            [](const syntax::FaceFailure& failure) -> PyObject* {
                              raise_failure(failure);
                              return nullptr;
                            });
}

// ---------------------------------------------------------------------------------------
// Argument matching and conversion.

// RAII owner of one strong reference.
class Reference {
 public:
  explicit Reference(PyObject* object = nullptr) : object_(object) {}
  Reference(const Reference&) = delete;
  Reference& operator=(const Reference&) = delete;
  ~Reference() { Py_XDECREF(object_); }

  [[nodiscard]] PyObject* get() const { return object_; }
  [[nodiscard]] explicit operator bool() const { return object_ != nullptr; }
  void reset(PyObject* object) {
    Py_XDECREF(object_);
    object_ = object;
  }
  // Hands the reference to the caller.
  [[nodiscard]] PyObject* release() { return std::exchange(object_, nullptr); }

 private:
  PyObject* object_;
};

struct Signature {
  const char* function;  // "parse()"
  std::span<const char* const> parameters;
  const char* too_many;  // the "takes ... positional arguments" part of that message
};

constexpr const char* TEXT_PARAMETERS[] = {"text"};
constexpr const char* PARSE_PARAMETERS[] = {"text", "version", "tree"};
constexpr const char* CLI_PARAMETERS[] = {"args"};

constexpr Signature TOKENIZE_SIGNATURE{"tokenize()", TEXT_PARAMETERS, "takes 1"};
constexpr Signature SPLIT_SIGNATURE{"split()", TEXT_PARAMETERS, "takes 1"};
constexpr Signature PARSE_SIGNATURE{"parse()", PARSE_PARAMETERS, "takes from 1 to 3"};
constexpr Signature CLI_SIGNATURE{"cli()", CLI_PARAMETERS, "takes 1"};

inline constexpr std::size_t MAX_PARAMETERS = 3;

// Places positional and keyword arguments into `slots` (borrowed references, null where
// not given). The first parameter is the one required. False with a TypeError set when the
// call does not fit the signature.
bool match_arguments(const Signature& signature, PyObject* const* args, Py_ssize_t nargs,
                     PyObject* kwnames, std::array<PyObject*, MAX_PARAMETERS>& slots) {
  slots.fill(nullptr);
  const auto count = static_cast<Py_ssize_t>(signature.parameters.size());
  if (nargs > count) {
    PyErr_Format(PyExc_TypeError, "%s %s positional arguments but %zd were given",
                 signature.function, signature.too_many, nargs);
    return false;
  }
  for (Py_ssize_t i = 0; i < nargs; ++i) slots[static_cast<std::size_t>(i)] = args[i];
  const Py_ssize_t keyword_count = kwnames == nullptr ? 0 : PyTuple_Size(kwnames);
  if (keyword_count < 0) return false;
  for (Py_ssize_t k = 0; k < keyword_count; ++k) {
    PyObject* name = PyTuple_GetItem(kwnames, k);
    if (name == nullptr) return false;
    std::optional<std::size_t> position;
    for (std::size_t p = 0; p < signature.parameters.size(); ++p) {
      if (PyUnicode_CompareWithASCIIString(name, signature.parameters[p]) == 0) {
        position = p;
        break;
      }
    }
    if (!position.has_value()) {
      PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'",
                   signature.function, name);
      return false;
    }
    if (slots[*position] != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'", signature.function,
                   signature.parameters[*position]);
      return false;
    }
    slots[*position] = args[nargs + k];
  }
  if (slots[0] == nullptr) {
    PyErr_Format(PyExc_TypeError, "%s missing 1 required positional argument: '%s'",
                 signature.function, signature.parameters[0]);
    return false;
  }
  return true;
}

// type(object).__qualname__, or the fixed stand-in when it cannot be read as a str.
std::string type_name(PyObject* object) {
  Reference name(
      PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), "__qualname__"));
  if (name && PyUnicode_Check(name.get())) {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(name.get(), &size);
    if (utf8 != nullptr) return std::string(utf8, static_cast<std::size_t>(size));
  }
  PyErr_Clear();
  return "<failed to extract type name>";
}

// Sets "argument '{name}': '{type}' object cannot be converted to '{target}'".
void raise_cannot_convert(const char* parameter, PyObject* object, const char* target) {
  const std::string type = type_name(object);
  PyErr_Format(PyExc_TypeError, "argument '%s': '%s' object cannot be converted to '%s'", parameter,
               type.c_str(), target);
}

// A TypeError raised while an argument was converted becomes a new TypeError whose message
// starts with "argument '{name}': " and whose cause is the first error's cause. Any other
// error is left as it is.
void prefix_conversion_error(const char* parameter) {
  if (!PyErr_ExceptionMatches(PyExc_TypeError)) return;
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  Reference owned_type(type);
  Reference owned_value(value);
  Reference owned_traceback(traceback);
  if (!owned_value) {
    PyErr_Restore(owned_type.release(), owned_value.release(), owned_traceback.release());
    return;
  }
  Reference first_text(PyObject_Str(owned_value.get()));
  if (!first_text) return;  // the error of str() stands instead
  Reference message(PyUnicode_FromFormat("argument '%s': %U", parameter, first_text.get()));
  if (!message) return;
  Reference replacement(PyObject_CallFunctionObjArgs(PyExc_TypeError, message.get(),
                                                     static_cast<PyObject*>(nullptr)));
  if (!replacement) return;
  PyObject* cause = PyException_GetCause(owned_value.get());  // new reference or null
  PyException_SetCause(replacement.get(), cause);             // steals `cause`
  PyErr_SetObject(PyExc_TypeError, replacement.get());
}

// The UTF-8 bytes of a str argument, borrowed from the str object; none with an exception
// set when the object is no str or cannot be encoded.
std::optional<std::string_view> utf8_of(const char* parameter, PyObject* object) {
  if (!PyUnicode_Check(object)) {
    raise_cannot_convert(parameter, object, "PyString");
    return std::nullopt;
  }
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(object, &size);
  if (utf8 == nullptr) {
    prefix_conversion_error(parameter);
    return std::nullopt;
  }
  return std::string_view(utf8, static_cast<std::size_t>(size));
}

// A `text` argument: a str under 2 GiB of UTF-8.
std::optional<std::string_view> text_argument(PyObject* object) {
  std::optional<std::string_view> text = utf8_of("text", object);
  if (text.has_value() && text->size() >= syntax::MAX_TEXT_BYTES) {
    PyErr_SetString(PyExc_ValueError, api::TEXT_TOO_LARGE.data());
    return std::nullopt;
  }
  return text;
}

// True when `attribute` of the object's type is a str equal to one of `accepted`.
bool type_attribute_is(PyObject* object, const char* attribute,
                       std::initializer_list<const char*> accepted) {
  Reference value(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(object)), attribute));
  if (!value || !PyUnicode_Check(value.get())) {
    PyErr_Clear();
    return false;
  }
  for (const char* candidate : accepted) {
    if (PyUnicode_CompareWithASCIIString(value.get(), candidate) == 0) return true;
  }
  return false;
}

// A `tree` argument: a bool, or a numpy boolean scalar read through its truth value.
std::optional<bool> bool_argument(const char* parameter, PyObject* object) {
  if (object == nullptr) return false;
  if (PyBool_Check(object)) return object == Py_True;
  if (type_attribute_is(object, "__module__", {"numpy"}) &&
      type_attribute_is(object, "__name__", {"bool_", "bool"})) {
    const int truth = PyObject_IsTrue(object);
    if (truth < 0) {
      prefix_conversion_error(parameter);
      return std::nullopt;
    }
    return truth == 1;
  }
  raise_cannot_convert(parameter, object, "PyBool");
  return std::nullopt;
}

// The `args` of `cli`: a sequence (not a str) of str, copied as UTF-8.
std::optional<std::vector<std::string>> arguments_argument(PyObject* object) {
  constexpr const char* PARAMETER = "args";
  if (PyUnicode_Check(object)) {
    PyErr_SetString(PyExc_TypeError, "argument 'args': Can't extract `str` to `Vec`");
    return std::nullopt;
  }
  if (!PySequence_Check(object)) {
    raise_cannot_convert(PARAMETER, object, "Sequence");
    return std::nullopt;
  }
  std::vector<std::string> arguments;
  const Py_ssize_t size_hint = PySequence_Size(object);
  if (size_hint < 0) {
    PyErr_Clear();
  } else {
    arguments.reserve(std::min(static_cast<std::size_t>(size_hint), MAX_RESERVED_ARGUMENTS));
  }
  Reference iterator(PyObject_GetIter(object));
  if (!iterator) {
    prefix_conversion_error(PARAMETER);
    return std::nullopt;
  }
  while (true) {
    Reference item(PyIter_Next(iterator.get()));
    if (!item) break;
    const std::optional<std::string_view> utf8 = utf8_of(PARAMETER, item.get());
    if (!utf8.has_value()) return std::nullopt;
    arguments.emplace_back(*utf8);
  }
  if (PyErr_Occurred() != nullptr) {
    prefix_conversion_error(PARAMETER);
    return std::nullopt;
  }
  return arguments;
}

// Runs `work` with the interpreter lock released. Nothing may leave the unlocked stretch:
// an exception is kept and thrown again once the lock is back.
template <class Work>
void run_unlocked(Work&& work) {
  std::exception_ptr failure;
  PyThreadState* thread_state = PyEval_SaveThread();
  try {
    std::forward<Work>(work)();
  } catch (...) {
    failure = std::current_exception();
  }
  PyEval_RestoreThread(thread_state);
  if (failure) std::rethrow_exception(failure);
}

PyObject* new_str(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

// ---------------------------------------------------------------------------------------
// The five functions.

// tokenize and split: one text argument in, the body's JSON text out.
PyObject* text_to_json_function(const Signature& signature, std::string (*body)(std::string_view),
                                PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::array<PyObject*, MAX_PARAMETERS> slots{};
    if (!match_arguments(signature, args, nargs, kwnames, slots)) return nullptr;
    const std::optional<std::string_view> text = text_argument(slots[0]);
    if (!text.has_value()) return nullptr;
    return new_str(body(*text));
  });
}

PyObject* tokenize_function(PyObject* /*module*/, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
  return text_to_json_function(TOKENIZE_SIGNATURE, api::tokenize_json, args, nargs, kwnames);
}

PyObject* split_function(PyObject* /*module*/, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
  return text_to_json_function(SPLIT_SIGNATURE, api::split_json, args, nargs, kwnames);
}

PyObject* parse_function(PyObject* /*module*/, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::array<PyObject*, MAX_PARAMETERS> slots{};
    if (!match_arguments(PARSE_SIGNATURE, args, nargs, kwnames, slots)) return nullptr;
    const std::optional<std::string_view> text = text_argument(slots[0]);
    if (!text.has_value()) return nullptr;
    std::optional<std::string_view> version;
    if (slots[1] != nullptr && slots[1] != Py_None) {
      version = utf8_of("version", slots[1]);
      if (!version.has_value()) return nullptr;
    }
    const std::optional<bool> with_tree = bool_argument("tree", slots[2]);
    if (!with_tree.has_value()) return nullptr;
    const api::ParseAnswer answer = api::parse_json(*text, version, *with_tree);
    if (answer.error.has_value()) {
      Reference message(new_str(*answer.error));
      if (message) PyErr_SetObject(PyExc_ValueError, message.get());
      return nullptr;
    }
    return new_str(answer.json);
  });
}

PyObject* cli_function(PyObject* /*module*/, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::array<PyObject*, MAX_PARAMETERS> slots{};
    if (!match_arguments(CLI_SIGNATURE, args, nargs, kwnames, slots)) return nullptr;
    const std::optional<std::vector<std::string>> arguments = arguments_argument(slots[0]);
    if (!arguments.has_value()) return nullptr;
    // The command line touches no Python object (it works on its own copy of the
    // arguments and writes to file descriptors 1 and 2 directly), so the lock is released
    // for the whole run.
    uint8_t status = 0;
    run_unlocked([&] { status = cli::run_cli(*arguments, false); });
    return PyLong_FromLong(status);
  });
}

PyObject* version_function(PyObject* /*module*/, PyObject* /*unused*/) {
  return new_str(MODULE_VERSION);
}

#ifdef VELTRANE_PYTHON_PANIC_PROBE
// Test builds only: `_panic(kind)` throws what the bodies could throw on a broken invariant,
// so that tests see the conversion into Python exceptions. Never in the shipped module.
PyObject* panic_probe_function(PyObject* /*module*/, PyObject* kind_object) {
  return guarded([&]() -> PyObject* {
    const std::optional<std::string_view> kind = utf8_of("kind", kind_object);
    if (!kind.has_value()) return nullptr;
    if (*kind == "stop") syntax::stop("checkpoint is stale");
    if (*kind == "empty") throw syntax::InternalStop{};
    if (*kind == "range") (void)std::string_view("abc").substr(5);
    if (*kind == "alloc") throw std::bad_alloc();
    if (*kind == "json") return new_str(nlohmann::json(std::string("\xC3")).dump());
    if (*kind == "unlocked") run_unlocked([] { syntax::stop("stop without the lock"); });
    Py_RETURN_NONE;
  });
}

PyMethodDef PANIC_PROBE = {"_panic", panic_probe_function, METH_O, nullptr};
#endif

// ---------------------------------------------------------------------------------------
// Registration.

using FastFunction = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

PyCFunction as_cfunction(FastFunction function) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

// The interpreter only reads these definitions, but its API takes them non-const; they
// must live as long as the functions made from them.
PyMethodDef FUNCTIONS[] = {
    {"tokenize", as_cfunction(tokenize_function), METH_FASTCALL | METH_KEYWORDS,
     "tokenize(text)\n--\n\nEvery token, trivia included (the lexer is lossless): `[{kind, text, "
     "line, col}]`."},
    {"split", as_cfunction(split_function), METH_FASTCALL | METH_KEYWORDS,
     "split(text)\n--\n\nThe script split the way SQL*Plus runs it: `[{kind, text, line, col, "
     "command}]`, kind `sql`, `plsql` or\n`sqlplus` (a client command such as SET, PROMPT, "
     "@file; `command` names it)."},
    {"parse", as_cfunction(parse_function), METH_FASTCALL | METH_KEYWORDS,
     "parse(text, version=None, tree=False)\n--\n\nEvery SQL statement and PL/SQL unit parsed: "
     "`[{kind, statement, line, col, text, errors, warnings, tables,\ntree?}]`. `statement` is "
     "the parsed kind (`SelectStmt`, `CreatePackageBody`...); errors and warnings "
     "are\n`{line, col, message}`; `tables` the tables and views the statement names; with "
     "`tree`, the syntax tree as text."},
    {"cli", as_cfunction(cli_function), METH_FASTCALL | METH_KEYWORDS,
     "cli(args)\n--\n\nThe `veltrane` command line (lex, split, parse, catalog, report, lab "
     "and --version;\nnot serve); returns the exit status."},
    {"version", version_function, METH_NOARGS, "version()\n--\n\n"},
};

// Adds the functions in table order, each bound to the module, listed in `__all__` and set
// as an attribute under its `__name__`. -1 with an exception set on the first failure.
int module_init(PyObject* module) {
  Reference module_name(PyModule_GetNameObject(module));
  if (!module_name) return -1;
  Reference all(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    all.reset(PyList_New(0));
    if (!all || PyObject_SetAttrString(module, "__all__", all.get()) < 0) return -1;
  }
  for (PyMethodDef& definition : FUNCTIONS) {
    Reference function(PyCFunction_NewEx(&definition, module, module_name.get()));
    if (!function) return -1;
    Reference name(PyObject_GetAttrString(function.get(), "__name__"));
    if (!name) return -1;
    if (PyList_Append(all.get(), name.get()) < 0) return -1;
    if (PyObject_SetAttr(module, name.get(), function.get()) < 0) return -1;
  }
  return 0;
}

// Single-phase initialisation, no per-module state, no method table: module_init adds the
// functions. Non-const because the interpreter records the definition's index in it.
PyModuleDef MODULE_DEFINITION = {
    PyModuleDef_HEAD_INIT,
    "_native",  // m_name
    "",         // m_doc
    0,          // m_size
    nullptr,    // m_methods
    nullptr,    // m_slots
    nullptr,    // m_traverse
    nullptr,    // m_clear
    nullptr,    // m_free
};

PyObject* create_module() {
  ModuleRecord& record = module_record();
  const int64_t interpreter = PyInterpreterState_GetID(PyInterpreterState_Get());
  if (interpreter < 0) return nullptr;
  if (!record.interpreter.has_value()) {
    record.interpreter = interpreter;
  } else if (*record.interpreter != interpreter) {
    PyErr_SetString(PyExc_ImportError,
                    "veltrane._native cannot be imported into more than one interpreter "
                    "of a process (subinterpreters are not supported)");
    return nullptr;
  }
  if (record.module != nullptr) {
    Py_INCREF(record.module);
    return record.module;
  }
  Reference module(PyModule_Create(&MODULE_DEFINITION));
  if (!module) return nullptr;
  if (module_init(module.get()) < 0) return nullptr;
#ifdef VELTRANE_PYTHON_PANIC_PROBE
  Reference probe(PyCFunction_NewEx(&PANIC_PROBE, module.get(), nullptr));
  if (!probe || PyObject_SetAttrString(module.get(), "_panic", probe.get()) < 0) return nullptr;
#endif
  Py_INCREF(module.get());
  record.module = module.get();  // the record's own reference, kept for the process
  return module.release();
}

}  // namespace

}  // namespace veltrane::python

PyMODINIT_FUNC PyInit__native(void) {
  return veltrane::python::guarded([] { return veltrane::python::create_module(); });
}
