#include "config/QZCFile.h"

#include "config/QZCDocument.h"
#include "core/ModErrors.h"

namespace qz {

namespace {
constexpr const char* kObject = "QZCFile";
}

void QZCFile::Load(const std::string& path) {
    Handled(kObject, "Load", kErrLog | kErrRaise, [&] {
        props_.reset();
        connections_.reset();

        std::shared_ptr<QZCDocument> doc = qzc::readDocument(path);
        pugi::xml_node root = doc->xml.first_child();
        if (std::string_view(root.name()) != "QZC" || root.type() != pugi::node_element)
            qzc::raiseMessage(qzc::kRootNotFound);
        QZCNode rootNode{doc, root.internal_object()};

        // Build into locals: a failed load leaves no objects behind.
        std::shared_ptr<QZCTemplateProperties> props;
        std::shared_ptr<QZCConnectionList> connections;
        qzc::forEachChild(root, [&](pugi::xml_node child) {
            if (qzc::isElement(child, "TemplateProperties")) {
                if (props) qzc::raiseMessage(qzc::kDuplicateTemplateProperties);
                props = std::make_shared<QZCTemplateProperties>();
                props->XMLDOMNode(qzc::bindTo(rootNode, child));
                props->Load();
            } else if (qzc::isElement(child, "ConnectionList")) {
                if (connections) qzc::raiseMessage(qzc::kDuplicateConnectionList);
                connections = std::make_shared<QZCConnectionList>();
                connections->XMLDOMNode(qzc::bindTo(rootNode, child));
                connections->Load();
            } else {
                qzc::raiseMessage(qzc::kInvalidElement);
            }
        });
        props_ = std::move(props);
        connections_ = std::move(connections);
    });
}

void QZCFile::CreateNew(const std::string& path) {
    Handled(kObject, "CreateNew", kErrLog | kErrRaise, [&] {
        props_.reset();
        connections_.reset();
        auto doc = std::make_shared<QZCDocument>();
        doc->url = path;
        pugi::xml_node root = doc->xml.append_child("QZC");
        QZCNode rootNode{doc, root.internal_object()};
        QZCTemplateProperties props;
        props.XMLDOMNode(qzc::bindTo(rootNode, root.append_child("TemplateProperties")));
        props.CreateNew();
        root.append_child("ConnectionList");
        qzc::writeDocument(*doc);
        // The model is then exactly that of a loaded file.
        Load(path);
    });
}

} // namespace qz
