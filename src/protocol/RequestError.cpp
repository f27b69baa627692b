#include "protocol/RequestError.h"

namespace quorvela {

std::string RequestError::text() const { return localizedDescription + " " + Value(userInfo).describe(); }

}  // namespace quorvela
