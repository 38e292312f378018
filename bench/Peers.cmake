# Peer libraries for side-by-side benchmarks. Each block links a peer into the benchmark programs
# that compare against it, only when the peer is installed (scripts/install-peers.sh).
