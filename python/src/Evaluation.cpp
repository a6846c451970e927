// Selected option sets and their entries, the validator and the translater.
#include "Bindings.h"

namespace {

std::string entryText(const TamSelOptionSet::TamSosEntry& entry) {
  std::string text = entry.option ? entry.option->moduleId() + ":" + entry.option->name() : "?";
  if (!entry.path.isEmpty()) text += " [" + entry.path.toDisplayString() + "]";
  text += " =";
  for (std::size_t i = 0; i < entry.values.size(); ++i) {
    text += (i > 0 ? ", " : " ") + py::repr(fromValue(entry.values[i])).cast<std::string>();
    if (i < entry.howSet.size()) {
      text += " (" + py::str(py::cast(entry.howSet[i]).attr("name")).cast<std::string>() + ")";
    }
  }
  return text;
}

// An entry from an option, one value or a list of values, how each was set (one HowSet for all,
// or one per value) and a path.
EntryRef makeEntry(const OptionRef& option, py::handle values, py::handle how, py::handle path) {
  EntryRef made{option.window, {}};
  made.entry.option = option.option;
  if (!path.is_none()) made.entry.path = toPath(path);
  if (py::isinstance<py::list>(values) || py::isinstance<py::tuple>(values)) {
    for (py::handle value : values) made.entry.values.push_back(toValue(value));
  } else {
    made.entry.values.push_back(toValue(values));
  }
  if (made.entry.values.empty()) throw py::value_error("an entry needs at least one value");
  if (py::isinstance<py::list>(how) || py::isinstance<py::tuple>(how)) {
    for (py::handle each : how) made.entry.howSet.push_back(each.cast<TamSelOptionSet::HowSet>());
    if (made.entry.howSet.size() != made.entry.values.size()) {
      throw py::value_error("an entry needs one HowSet per value");
    }
  } else {
    made.entry.howSet.assign(made.entry.values.size(), how.cast<TamSelOptionSet::HowSet>());
  }
  return made;
}

py::list entryList(const py::object& window, const TamSelOptionSet& set) {
  py::list list;
  for (const auto& item : set.contents()) list.append(EntryRef{window, item.second});
  return list;
}

void bindEntry(py::module_& m) {
  py::enum_<TamSelOptionSet::HowSet>(
      m, "HowSet",
      "How a value came to be set; it decides what may replace it. DEFAULT: the option's "
      "default; HOST, HOST_FIRM, HOST_FORCED: the host, more firmly each; SET and FIX: a set or "
      "fix rule; INHERITED: taken by a 'uses' option from above.")
      .value("DEFAULT", TamSelOptionSet::HOWSET_DEFAULT)
      .value("HOST", TamSelOptionSet::HOWSET_HOST)
      .value("SET", TamSelOptionSet::HOWSET_SET)
      .value("HOST_FIRM", TamSelOptionSet::HOWSET_HOST_FIRM)
      .value("FIX", TamSelOptionSet::HOWSET_FIX)
      .value("INHERITED", TamSelOptionSet::HOWSET_INHERITED)
      .value("HOST_FORCED", TamSelOptionSet::HOWSET_HOST_FORCED);
  py::class_<EntryRef>(m, "SosEntry",
                       "One entry of a selected option set: an option, the node path it applies "
                       "to (empty: where the set is bound) and its values, each with how it was "
                       "set.",
                       GcVisitsWindow<EntryRef>::setup())
      .def(py::init(&makeEntry), py::arg("option"), py::arg("values"),
           py::arg("how") = TamSelOptionSet::HOWSET_HOST, py::arg("path") = py::none(),
           "An entry of `option` holding one value or a list of values, set `how` (one HowSet "
           "for all values, or a list with one per value), at `path`.")
      .def_property_readonly("option",
                             [](const EntryRef& e) { return optionObject(e.entry.option); })
      .def_property_readonly("path", [](const EntryRef& e) { return e.entry.path; })
      .def_property_readonly("values", [](const EntryRef& e) { return fromValues(e.entry.values); })
      .def_property_readonly(
          "value",
          [](const EntryRef& e) {
            return e.entry.values.empty() ? py::none() : fromValue(e.entry.values.front());
          },
          "The first value.")
      .def_property_readonly(
          "how", [](const EntryRef& e) { return py::cast(e.entry.howSet); },
          "How each value was set, one HowSet per value.")
      .def("__repr__", [](const EntryRef& e) { return "SosEntry(" + entryText(e.entry) + ")"; });
}

void bindSet(py::module_& m) {
  py::class_<SetRef>(
      m, "SelectedOptionSet",
      "The values selected for options while a tree is evaluated: per option one or more "
      "entries, each tied to a node path and holding values with how each was set. A node's "
      "`sos` is a copy of its set; set_sos gives a node the host's values. Iterating gives the "
      "entries, options in creation order.",
      GcVisitsWindow<SetRef>::setup())
      .def(py::init([](py::object window) {
             return SetRef(window, TamSelOptionSet(windowState(window).window));
           }),
           py::arg("window"), "An empty set of the window.")
      .def_property_readonly("window", [](const SetRef& s) { return s.window; })
      .def_property_readonly("entries", [](const SetRef& s) { return entryList(s.window, s.set); })
      .def("__iter__", [](const SetRef& s) { return py::iter(entryList(s.window, s.set)); })
      .def("__len__", [](const SetRef& s) { return s.set.contents().size(); })
      .def(
          "get",
          [](SetRef& s, const OptionRef& option, py::handle path) {
            WindowScope scope(s.window);
            return EntryRef{s.window, path.is_none() ? s.set.get(option.option)
                                                     : s.set.get(option.option, toPath(path))};
          },
          py::arg("option"), py::arg("path") = py::none(),
          "The entry of the option at the path (default: where the set is bound). An option "
          "without one gets an entry holding its default, which stays in the set.")
      .def(
          "set",
          [](SetRef& s, py::object entryOrOption, py::handle values, py::handle how,
             py::handle path) {
            WindowScope scope(s.window);
            if (py::isinstance<EntryRef>(entryOrOption)) {
              s.set.set(entryOrOption.cast<EntryRef&>().entry);
            } else {
              s.set.set(makeEntry(entryOrOption.cast<OptionRef&>(), values, how, path).entry);
            }
          },
          py::arg("entry"), py::arg("values") = py::none(),
          py::arg("how") = TamSelOptionSet::HOWSET_HOST, py::arg("path") = py::none(),
          "Sets an entry: set(SosEntry(...)), or set(option, value_or_values, how, path). The "
          "first value must be allowed (TamException 204); a different value of a "
          "one-at-a-time option is replaced only when the adapter allows it.")
      .def(
          "clear_entry",
          [](SetRef& s, const EntryRef& entry) {
            WindowScope scope(s.window);
            s.set.clearEntry(entry.entry);
          },
          py::arg("entry"), "Resets the option's entries at the entry's path to the default.")
      .def("clear", [](SetRef& s) { s.set.clear(); })
      .def(
          "merge",
          [](SetRef& s, const SetRef& other) {
            WindowScope scope(s.window);
            s.set.merge(other.set);
          },
          py::arg("other"), "Sets every value of `other` that the host set.")
      .def(
          "get_option",
          [](const SetRef& s, const std::string& name) {
            return optionObject(s.set.getOption(name));
          },
          py::arg("name"), "The first string option of this name that holds a value, or None.")
      .def(
          "match_value",
          [](const SetRef& s, const std::string& name, const std::string& text) {
            return s.set.matchValue(name, text);
          },
          py::arg("option_name"), py::arg("text"),
          "Whether a string option of this name holds a value whose text is `text`.")
      .def(
          "verify_completeness",
          [](const SetRef& s) {
            WindowScope scope(s.window);
            s.set.verifyCompleteness();
          },
          "TamException 113 at the first mandatory option without a value.")
      .def(
          "set_context",
          [](SetRef& s, py::object node, bool skipPath) {
            WindowScope scope(s.window);
            s.set.setContext(nodeOf(node), skipPath);
          },
          py::arg("node"), py::arg("skip_path") = false,
          "Binds the set to a node of a module: keeps that module's entries matching the "
          "node's position and inherits the values of used options from above.")
      .def("__repr__", [](const SetRef& s) {
        std::string text = "SelectedOptionSet(";
        bool first = true;
        for (const auto& item : s.set.contents()) {
          text += (first ? "" : "; ") + entryText(item.second);
          first = false;
        }
        return text + ")";
      });
}

void bindValidator(py::module_& m) {
  py::enum_<ValidationError::ErrorCode>(m, "ValidationCode", "What the validator found.")
      .value("PRESENTED_BASE_NOT_IN_SCOPE", ValidationError::VE_PRESENTED_BASE_NOT_IN_SCOPE)
      .value("PRESENTED_PATH_NOT_FOUND", ValidationError::VE_PRESENTED_PATH_NOT_FOUND)
      .value("RULE_OPTION_NOT_IN_SCOPE", ValidationError::VE_RULE_OPTION_NOT_IN_SCOPE)
      .value("LOADIF_OPTION_NOT_IN_SCOPE", ValidationError::VE_LOADIF_OPTION_NOT_IN_SCOPE);
  py::class_<ValidationError>(m, "ValidationError", "One finding of the validator.")
      .def_property_readonly("code", &ValidationError::code)
      .def_property_readonly("node", [](const ValidationError& e) { return nodeObject(e.node()); })
      .def_property_readonly("option",
                             [](const ValidationError& e) { return optionObject(e.option()); })
      .def("__repr__", [](const ValidationError& e) {
        std::string option =
            e.option() ? e.option()->moduleId() + ":" + e.option()->name() : std::string("?");
        return "ValidationError(" + py::str(py::cast(e.code()).attr("name")).cast<std::string>() +
               ", " + option + ")";
      });
  py::class_<TamValidator>(
      m, "Validator",
      "Checks a node tree without evaluating it: every option a load-if or a module's rules "
      "refer to must be visible where it is used, and presented options must rest on a visible "
      "base at a node of the base's module. Findings gather in `errors` across calls.")
      .def(py::init<>())
      .def(
          "validate_node",
          [](TamValidator& self, py::object node, bool recurse) {
            WindowScope scope(node.attr("window"));
            self.validateNode(nodeOf(node), recurse);
          },
          py::arg("node"), py::arg("recurse") = true)
      .def_property_readonly("errors", [](const TamValidator& self) { return self.errors(); });
}

void bindTranslater(py::module_& m) {
  py::class_<TamTranslater>(
      m, "Translater",
      "Rewrites RIX text when modules or options get new names: every option reference is "
      "rewritten through the mappings, every other character stays as written.")
      .def(py::init<>())
      .def("add_module_mapping", &TamTranslater::addModuleMapping, py::arg("old"), py::arg("new"))
      .def("add_option_mapping", &TamTranslater::addOptionMapping, py::arg("module_id"),
           py::arg("old"), py::arg("new"), "Keyed by the module id the text holds (the old id).")
      .def("lookup_mapping", &TamTranslater::lookupMapping, py::arg("module_id"),
           py::arg("option_name"), "The translated (module id, option name) of one reference.")
      .def("translate_option", &TamTranslater::translateOption, py::arg("declaration"),
           "One option declaration line.")
      .def("translate_rules", &TamTranslater::translateRix, py::arg("rules"), "A rules text.")
      .def("translate_condition", &TamTranslater::translateCondition, py::arg("condition"),
           "One condition, such as a load-if.")
      .def("translate_text", &TamTranslater::translateRixData, py::arg("module_id"),
           py::arg("text"), "A whole module text, written out under `module_id`.");
}

}  // namespace

EntryRef entryRef(const TamSelOptionSet::TamSosEntry& entry) {
  return {entry.option ? windowObject(entry.option->window().get()) : py::none(), entry};
}

void bindEvaluation(py::module_& m) {
  bindEntry(m);
  bindSet(m);
  bindValidator(m);
  bindTranslater(m);
}
