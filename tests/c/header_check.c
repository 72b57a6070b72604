/* The public header compiles on its own as strict C11. */
#include "veltrane/veltrane.h"

typedef uint8_t *(*alloc_function)(size_t);
typedef const uint8_t *(*analyze_function)(const uint8_t *, size_t, const uint8_t *, size_t);

const alloc_function veltrane_header_check_alloc = alloc;
const analyze_function veltrane_header_check_analyze = analyze;
