// Libraries through dlopen; calls through libffi, which builds the call for
// any count and kinds of arguments at run time.
#include <dlfcn.h>
#include <ffi.h>

#include <array>

#include "platform/dynamic_library.h"

namespace kx {

namespace {

constexpr size_t kMaxCallArgs = 16;

class PosixLibraries : public IDynamicLibraries {
public:
    LibraryHandle open(const std::string& path, std::string* error) override {
        void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h && error) {
            const char* why = dlerror();
            *error = why ? why : "cannot load " + path;
        }
        return h;
    }
    LibraryEntry symbol(LibraryHandle lib, const std::string& name) override {
        if (!lib) return nullptr;
        dlerror();
        return dlsym(lib, name.c_str());
    }
    void close(LibraryHandle lib) override {
        if (lib) dlclose(lib);
    }
    ExternalResult call(LibraryEntry entry, bool stdcall, std::span<const ExternalKind> kinds,
                        std::span<const ExternalArg> args, ExternalKind result) override {
        ExternalResult out;
        const size_t n = kinds.size();
        if (!entry || n > kMaxCallArgs || args.size() != n) return out;
        std::array<ffi_type*, kMaxCallArgs> types{};
        std::array<void*, kMaxCallArgs> values{};
        for (size_t i = 0; i < n; ++i) {
            if (kinds[i] == ExternalKind::Text) {
                types[i] = &ffi_type_pointer;
                values[i] = const_cast<const char**>(&args[i].text);
            } else {
                types[i] = &ffi_type_double;
                values[i] = const_cast<double*>(&args[i].real);
            }
        }
        ffi_abi abi = FFI_DEFAULT_ABI;
#if defined(__i386__) && !defined(_WIN32)
        // 32-bit x86 is the one machine with both conventions.
        abi = stdcall ? FFI_STDCALL : FFI_SYSV;
#else
        (void)stdcall;
#endif
        ffi_type* rtype = result == ExternalKind::Text ? &ffi_type_pointer : &ffi_type_double;
        ffi_cif cif;
        if (ffi_prep_cif(&cif, abi, static_cast<unsigned>(n), rtype, types.data()) != FFI_OK)
            return out;
        // libffi widens small results to ffi_arg; both kinds here are full-size.
        union {
            double real;
            const char* text;
            ffi_arg wide;
        } ret{};
        ffi_call(&cif, FFI_FN(entry), &ret, values.data());
        if (result == ExternalKind::Text)
            out.text = ret.text;
        else
            out.real = ret.real;
        return out;
    }
};

}  // namespace

std::unique_ptr<IDynamicLibraries> create_dynamic_libraries() {
    return std::make_unique<PosixLibraries>();
}

}  // namespace kx
