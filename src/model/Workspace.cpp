#include "quorvela/Workspace.h"

#include <functional>

namespace quorvela {

namespace {

std::size_t textHash(const std::optional<std::string>& text) { return text ? std::hash<std::string>{}(*text) : 0; }

}  // namespace

Workspace::~Workspace() = default;

bool Workspace::isEqual(const Workspace& other) const {
    if (this == &other) return true;
    return clientId() == other.clientId() && publicKey() == other.publicKey();
}

std::size_t Workspace::hash() const { return textHash(clientId()) ^ textHash(publicKey()); }

}  // namespace quorvela
