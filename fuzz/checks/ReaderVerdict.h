#pragma once
#include <string_view>

#include "FuzzChecks.h"

namespace quorvela::fuzz {

/// Whether the XML reader takes the bytes as well formed, after checking its
/// promises: one document end exactly when well formed, one error otherwise,
/// no event after an error, balanced elements.
bool readerVerdict(std::string_view bytes);

/// A reply parser succeeds exactly when it reports no parse error, and agrees
/// with the bare reader.
template <class Parser>
void expectDefinedOutcome(Parser& parser, std::string_view bytes, bool wellFormed) {
    const bool parsed = parser.parse(bytes);
    expect(parsed != parser.parseError().has_value(), "a parse reports an error exactly when it fails");
    expect(parsed == wellFormed, "a reply parser agrees with the reader about well-formedness");
}

}  // namespace quorvela::fuzz
