# Bash completion for tallowmere: the subcommands, their options and the names of the projects
# of the running instance (asked with `tallowmere status --names`, which is quiet and quick
# when no instance runs). Install as /usr/share/bash-completion/completions/tallowmere.

_tallowmere_projects()
{
    local cur=$1 name
    local IFS=$'\n'
    for name in $(tallowmere status --names 2>/dev/null); do
        [[ $name == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
    done
}

_tallowmere()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        mapfile -t COMPREPLY < <(compgen -W "status start stop restart logs open mcp scan inspect help --autostart" -- "$cur")
        return
    fi

    local command=${COMP_WORDS[1]} options=
    case $command in
        status) options="--json --names" ;;
        start) options="--no-wait --with-services --env" ;;
        stop) options="--yes --no-wait" ;;
        restart) options="--yes --no-wait --env" ;;
        logs) options="-f --follow -n --lines" ;;
        open) options="--explorer" ;;
        scan | inspect)
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            return
            ;;
        *) return ;;
    esac
    if [[ $cur == -* || $command == status ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi
    [[ $command == logs && ($prev == -n || $prev == --lines) ]] && return
    # An environment name is the configuration's own: nothing to offer.
    [[ $prev == --env || $prev == -e ]] && return
    _tallowmere_projects "$cur"
}

complete -F _tallowmere tallowmere
