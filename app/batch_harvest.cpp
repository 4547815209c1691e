#include "app/batch_harvest.h"

#include <stdexcept>

namespace vantrelis {

void BatchHarvest(ContactTable&, const std::string&) {
  throw std::runtime_error("La récolte sans fenêtre n'est pas encore disponible");
}

}  // namespace vantrelis
