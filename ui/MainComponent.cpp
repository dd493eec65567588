#include "ui/MainComponent.h"

MainComponent::MainComponent() = default;

MainComponent::~MainComponent() = default;
