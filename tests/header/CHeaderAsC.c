/* The C header on its own, as C11 with strict warnings: it may use nothing of
   C++ and nothing beyond C11. */
#include "quorvela/quorvela_c.h"

int quorvela_header_check_c(void);

int quorvela_header_check_c(void) {
    quorvela_options_t options = {0};
    quorvela_callbacks_t callbacks = {0};
    (void)callbacks;
    return options.location_source == QUORVELA_SOURCE_MANUAL ? QUORVELA_OK : QUORVELA_ERR_INTERNAL;
}
