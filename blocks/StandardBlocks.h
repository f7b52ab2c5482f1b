// The blocks that come with Tarnwell, as model files name them. Their
// parameters (all optional unless marked):
//   EntityGenerator  entity (required: an entity type), interval (required:
//                    time), serial (attribute for 1, 2, ...), attributes
//                    (map of attribute to distribution), limit
//   Queue            capacity (default: none), priority (attribute, smallest
//                    first), patience (time; output 1 takes who gives up),
//                    timeout-tag
//   Server           servers (default 1), service (time) or
//                    service-attribute (one of the two)
//   Sink             none
//   StartTimer       tag (required)
//   ReadTimer        tag (required), write-to (attribute)
//   AttributeSetter  clock (attributes set to the time), values (map of
//                    attribute to distribution)
//   Combiner         inputs (default 2), entity (required: the composite's
//                    type name)
//   Splitter         outputs (default 2)
#pragma once

class BlockRegistry;

// Registers every standard block type with `registry`; calling it again
// changes nothing.
void RegisterStandardBlocks(BlockRegistry& registry);
void RegisterStandardBlocks();
