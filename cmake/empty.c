/* libveltrane.so takes everything from the static core libraries; CMake wants one source. */
typedef int veltrane_empty_translation_unit;
