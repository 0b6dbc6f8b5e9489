#pragma once
// The root of every object that can be a handler's Sender, and of components that belong to an
// owner: the owner destroys what it owns, last made first.
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner = nullptr) : FOwner(owner) {}
    ~TComponent() override { DestroyComponents(); }

    TComponent* Owner() const noexcept { return FOwner; }
    const std::string& Name() const noexcept { return FName; }
    void SetName(std::string name) { FName = std::move(name); }

    // Called once the owner's layout, with the values it gives, has been applied.
    virtual void Loaded() {}

    // Makes a component owned by this one: T is constructed as T(this, args...).
    template <class T, class... Args> T& Own(Args&&... args) {
        auto component = std::make_unique<T>(this, std::forward<Args>(args)...);
        T& result = *component;
        FComponents.push_back(std::move(component));
        return result;
    }

    std::size_t ComponentCount() const noexcept { return FComponents.size(); }
    TComponent& Components(std::size_t index) const { return *FComponents.at(index); }

protected:
    void DestroyComponents() noexcept {
        while (!FComponents.empty()) {
            // Out of the list first, so a dying component never sees itself as still owned.
            auto last = std::move(FComponents.back());
            FComponents.pop_back();
        }
    }
    void LoadComponents() {
        for (auto& component : FComponents)
            component->Loaded();
    }

private:
    TComponent* FOwner;
    std::string FName;
    std::vector<std::unique_ptr<TComponent>> FComponents;
};
