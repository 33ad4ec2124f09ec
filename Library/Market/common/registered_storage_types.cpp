#include "Serialization/serialization_impl.h"

namespace korvex::details {

Registry<std::string, const std::type_info*>& registered_storage_types()
{
    static Registry<std::string, const std::type_info*> registry;
    return registry;
}

}  // namespace korvex::details
