// Placeholder so the configuration program's library has a source until its windows exist.
namespace ConfigTarvoApp {
int PlaceholderUnit() { return 0; }
} // namespace ConfigTarvoApp
