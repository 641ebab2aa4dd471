// PtrList: doubly linked lists of pointers with a zeroed head node, each node a fixed
// global-memory block; inserting, appending, removing, walking and freeing.
// Relies on global_memory.cpp for the nodes (and for freeing payloads when asked).
// Exit hooks (exit_hooks.cpp) are the runtime's own user of these lists.
#include "runtime/core/core_internal.h"

// ============================================================================
// Internal helpers
// ============================================================================

namespace {

PtrNode* node_alloc() {
    return static_cast<PtrNode*>(typed_alloc(TYPE_RAW, sizeof(PtrNode)));
}

} // namespace

// ============================================================================
// Public routines
// ============================================================================

// Make a new, empty list: its zeroed head node.
PtrNode* list_create() {
    return node_alloc();
}

// Insert a new node holding payload right after node; the payload, or null if no memory.
void* list_insert_after(PtrNode* node, void* payload) {
    if (node == nullptr) {
        return payload;
    }
    PtrNode* added = node_alloc();
    if (added == nullptr) {
        return nullptr;
    }
    PtrNode* follower = node->next;
    node->next = added;
    if (follower != nullptr) {
        added->next = follower;
        follower->prev = added;
    }
    added->prev = node;
    added->payload = payload;
    return payload;
}

// Add a node holding payload after the last node reachable from node.
void* list_append(PtrNode* node, void* payload) {
    if (node == nullptr) {
        return payload;
    }
    while (node->next != nullptr) {
        node = node->next;
    }
    return list_insert_after(node, payload);
}

// Unlink and free node (and its payload when asked); the node that followed it.
PtrNode* list_remove(PtrNode* node, int32_t free_payload) {
    if (node == nullptr) {
        return nullptr;
    }
    PtrNode* before = node->prev;
    PtrNode* follower = node->next;
    if (before != nullptr) {
        before->next = follower;
    }
    if (follower != nullptr) {
        follower->prev = before;
    }
    if (free_payload != 0) {
        global_free_if_set(node->payload);
    }
    global_free(node);
    return follower;
}

// Free every node from head onwards, and each payload when asked.
int32_t list_free(PtrNode* head, int32_t free_payloads) {
    PtrNode* node = head;
    while (node != nullptr) {
        PtrNode* next = node->next;
        if (free_payloads != 0) {
            global_free_if_set(node->payload);
        }
        global_free(node);
        node = next;
    }
    return 0;
}

// Return the first real node of a list, or null.
PtrNode* list_first(PtrNode* head) {
    return head != nullptr ? head->next : nullptr;
}

// Return the node after node, or null.
PtrNode* list_next(PtrNode* node) {
    return node != nullptr ? node->next : nullptr;
}

// Return a node's payload, or null.
void* list_payload(PtrNode* node) {
    return node != nullptr ? node->payload : nullptr;
}
