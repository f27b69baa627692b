#pragma once
// The JSON texts the C interface hands out: a message as the object of its
// serialised fields, a workspace as the object of its texts (without the
// serialised lists, which the inbox call gives), lists as arrays.

#include <memory>
#include <string>
#include <vector>

namespace quorvela {
class Message;
class Workspace;
}  // namespace quorvela

namespace quorvela::c {

class JsonExport {
public:
    /// "null" for a null message.
    static std::string message(const std::shared_ptr<Message>& message);
    static std::string messages(const std::vector<std::shared_ptr<Message>>& messages);
    static std::string workspaces(const std::vector<std::shared_ptr<Workspace>>& workspaces);
};

}  // namespace quorvela::c
